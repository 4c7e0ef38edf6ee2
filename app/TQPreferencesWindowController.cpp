#include "app/TQPreferencesWindowController.h"

#include "ui_TQPreferencesWindowController.h"

#include "app/KZAboutViewController.h"
#include "app/TQColorThemeViewController.h"
#include "kit/KZController.h"
#include "model/Preferences.h"
#include "platform/KZPathString.h"
#include "platform/widgets/KZAlertService.h"
#include "platform/widgets/KZFolderPanel.h"
#include "platform/widgets/KZImage.h"
#include "platform/widgets/KZPasteboard.h"
#include "platform/widgets/KZWindowUtilities.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <utility>

KZ_INTERFACE_FILE_IMPL(TQPreferencesWindowController)

namespace {
Preferences& prefs()
{
    return Preferences::sharedPreferences();
}

QStringList storedIgnoredPaths()
{
    return prefs().ignoredPaths().value_or(QStringList());
}
} // namespace

TQPreferencesWindowController::TQPreferencesWindowController() = default;

TQPreferencesWindowController::~TQPreferencesWindowController()
{
    fadeTimer_.reset();
    QObject::disconnect(&prefs(), nullptr, this, nullptr);
    if (isWindowLoaded()) {
        ui()->ignoredTableView->setDeleteDelegate(nullptr);
        if (dropTarget_) dropTarget_->removeEventFilter(this);
        for (QObject* child : window()->findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
        // The window goes while this controller is still whole, so nothing its widgets send
        // on the way out reaches a half-destroyed controller.
        delete window();
    }
}

void TQPreferencesWindowController::awakeFromNib()
{
    if (isLoaded_) return;
    isLoaded_ = true;
    window()->setWindowTitle(QStringLiteral("Sizemere Preferences"));

    setUpToolbar();
    setUpGeneralPane();
    connectControls();
    openGeneral();
    updateUI();
    reloadTable();
    connect(&prefs(), &Preferences::ignoredPathsChanged, this, [this] { reloadTable(); });
    connect(&prefs(), &Preferences::useDeleteQueueChanged, this, [this] { updateUI(); });
}

void TQPreferencesWindowController::setUpToolbar()
{
    Ui::TQPreferencesWindowController* form = ui();
    QWidget* w = window();
    // The toolbar: one selected item at a time.
    auto* items = new QActionGroup(w);
    items->setExclusive(true);
    const struct {
        QAction* action;
        QString identifier;
        const char* image;
    } toolbarItems[] = {
        {form->generalItem, GeneralIdentifier, "prefs-general"},
        {form->colorThemeItem, ColorThemeIdentifier, "prefs-colortheme"},
        {form->aboutItem, AboutIdentifier, "prefs-about"},
    };
    for (const auto& item : toolbarItems) {
        item.action->setData(item.identifier);
        item.action->setIcon(KZImage::named(QString::fromLatin1(item.image)).icon());
        items->addAction(item.action);
    }
    form->toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    // The selected pane's item sits in a soft rounded well, as preference toolbars do.
    form->toolbar->setStyleSheet(
        QStringLiteral("QToolBar { spacing: 2px; padding: 3px 8px; border: none; border-bottom: 1px solid #c4c4c4;"
                       "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6f6f6, stop:1 #e4e4e4); }"
                       "QToolButton { border: 1px solid transparent; border-radius: 6px; padding: 3px 10px 2px 10px;"
                       "  color: #303030; }"
                       "QToolButton:checked { background: rgba(0, 0, 0, 26); border-color: rgba(0, 0, 0, 20); }"
                       "QToolButton:hover:!checked { background: rgba(0, 0, 0, 12); }"));
    // An item turned on opens its pane, whether clicked, pressed or toggled (an assistive
    // technology's actions toggle the item without triggering it).
    connect(form->generalItem, &QAction::toggled, this, [this](bool on) {
        if (on && !selectingToolbarItem_) openGeneral();
    });
    connect(form->colorThemeItem, &QAction::toggled, this, [this](bool on) {
        if (on && !selectingToolbarItem_) openColorTheme();
    });
    connect(form->aboutItem, &QAction::toggled, this, [this](bool on) {
        if (on && !selectingToolbarItem_) openAbout();
    });
}

void TQPreferencesWindowController::setUpGeneralPane()
{
    Ui::TQPreferencesWindowController* form = ui();
    // The General pane: placed by the pane switch, at the size it was designed at.
    paneSizes_.insert(form->generalView, form->generalView->size());
    form->generalView->hide();
    QPalette hint = form->extensionsHintLabel->palette();
    hint.setColor(QPalette::WindowText, QColor(118, 118, 118));
    QFont small = form->extensionsHintLabel->font();
    small.setPixelSize(11);
    for (QLabel* label : {form->extensionsHintLabel, form->ignoredFoldersHintLabel}) {
        label->setPalette(hint);
        label->setFont(small);
    }
    const KZMemoryFormatter units;
    for (const QString& unit : units.unitStrings()) form->fileSizeDropdown->addItem(unit);

    // The ignored folders.
    folderModel_ = new QStandardItemModel(form->ignoredTableView);
    KZDeleteTableView* table = form->ignoredTableView;
    table->setModel(folderModel_);
    table->setDeleteDelegate(this);
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(22);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setWordWrap(false);
    table->setIconSize(QSize(16, 16));
    table->setAcceptDrops(true);
    table->viewport()->setAcceptDrops(true);
    table->setDropIndicatorShown(false);
    dropTarget_ = table->viewport();
    dropTarget_->installEventFilter(this);
    form->addFolderButton->setFixedSize(26, 22);
    form->removeFolderButton->setFixedSize(26, 22);
}

void TQPreferencesWindowController::connectControls()
{
    Ui::TQPreferencesWindowController* form = ui();
    // Every change of a control writes its setting, whoever made it: a click, a key, an
    // assistive technology's action. The window's own filling of the controls writes nothing:
    // their signals are blocked while it fills them (updateUI).
    connect(form->useTrashCheckbox, &QCheckBox::toggled, this, [this] { didToggleMoveToTrash(); });
    connect(form->useDeleteQueueCheckbox, &QCheckBox::toggled, this, [this] { didToggleUseDeleteQueue(); });
    connect(form->deleteOriginalCheckbox, &QCheckBox::toggled, this, [this] { didToggleDeleteOriginal(); });
    connect(form->showHiddenFilesCheckbox, &QCheckBox::toggled, this, [this] { didToggleShowHiddenFiles(); });
    connect(form->showSystemFilesCheckbox, &QCheckBox::toggled, this, [this] { didToggleShowSystemFiles(); });
    connect(form->fileSizeDropdown, &QComboBox::currentIndexChanged, this, [this] { didChangeMemoryType(); });
    connect(form->fileSizeTextField, &QLineEdit::textChanged, this,
            &TQPreferencesWindowController::fileSizeTextDidChange);
    connect(form->ignoredExtensionsField, &QLineEdit::textChanged, this,
            &TQPreferencesWindowController::extensionsTextDidChange);
    connect(form->fileSizeTextField, &QLineEdit::editingFinished, this, [this] { controlTextDidEndEditing(); });
    connect(form->ignoredExtensionsField, &QLineEdit::editingFinished, this, [this] { controlTextDidEndEditing(); });
    // Return ends the editing: the field gives up the focus.
    for (QLineEdit* field : {form->fileSizeTextField, form->ignoredExtensionsField})
        connect(field, &QLineEdit::returnPressed, field, [field] { field->clearFocus(); });
    connect(form->addFolderButton, &QToolButton::clicked, this, [this] { addFolder(); });
    connect(form->removeFolderButton, &QToolButton::clicked, this, [this] { removeFolder(); });
}

// Panes

void TQPreferencesWindowController::selectToolbarItem(const QString& identifier)
{
    // The pane is being opened already: the items' toggles open nothing more.
    const bool wasSelecting = std::exchange(selectingToolbarItem_, true);
    for (QAction* action : {ui()->generalItem, ui()->colorThemeItem, ui()->aboutItem})
        action->setChecked(action->data().toString() == identifier);
    selectingToolbarItem_ = wasSelecting;
}

QString TQPreferencesWindowController::selectedToolbarItemIdentifier() const
{
    if (!isWindowLoaded()) return {};
    for (QAction* action : {ui()->generalItem, ui()->colorThemeItem, ui()->aboutItem})
        if (action->isChecked()) return action->data().toString();
    return {};
}

void TQPreferencesWindowController::openGeneral()
{
    window();
    selectToolbarItem(GeneralIdentifier);
    setCurrentView(ui()->generalView);
}

void TQPreferencesWindowController::openColorTheme()
{
    window();
    selectToolbarItem(ColorThemeIdentifier);
    if (!colorThemeViewController_) colorThemeViewController_ = controller<TQColorThemeViewController>();
    setCurrentView(colorThemeViewController_->view());
}

void TQPreferencesWindowController::openAbout(bool animated)
{
    window();
    selectToolbarItem(AboutIdentifier);
    if (!aboutViewController_) aboutViewController_ = controller<KZAboutViewController>();
    setCurrentView(aboutViewController_->view(), animated);
}

QSize TQPreferencesWindowController::paneSize(QWidget* view)
{
    // A pane keeps the size its form gave it before it was first placed.
    auto found = paneSizes_.constFind(view);
    if (found != paneSizes_.constEnd()) return *found;
    const QSize size = view->size();
    paneSizes_.insert(view, size);
    return size;
}

void TQPreferencesWindowController::setCurrentView(QWidget* view, bool animated)
{
    if (!view || view == currentView_) return;
    const QSize size = paneSize(view);
    QVBoxLayout* layout = ui()->contentLayout;
    const bool hadView = !currentView_.isNull();
    if (hadView) {
        finishFade();
        layout->removeWidget(currentView_);
        currentView_->hide();
    } else {
        animated = false;
    }
    resizeWindowForPane(size, animated);
    if (view->parentWidget() != ui()->contentView) view->setParent(ui()->contentView);
    layout->addWidget(view);
    view->show();
    if (hadView) fadeIn(view);
    currentView_ = view;
}

void TQPreferencesWindowController::resizeWindowForPane(QSize size, bool animated)
{
    QWidget* w = window();
    const int toolbarHeight = ui()->toolbar->isHidden() ? 0 : ui()->toolbar->sizeHint().height();
    const QSize target(size.width(), size.height() + toolbarHeight);
    if (!w->isVisible()) {
        // Not on screen yet: the window manager places it when it shows.
        w->resize(target);
        return;
    }
    kz_setContentSize(w, target, animated);
}

void TQPreferencesWindowController::fadeIn(QWidget* view)
{
    auto* effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(0.0);
    view->setGraphicsEffect(effect);
    fadingView_ = view;
    KZAnimationClock& clock = KZAnimationClock::shared();
    fadeStart_ = clock.now();
    fadeTimer_ = clock.schedule(1.0 / 60.0, true, [this] {
        const double t = (KZAnimationClock::shared().now() - fadeStart_) / FadeDuration;
        if (t >= 1.0 - 1e-6 || !fadingView_) {
            finishFade();
            return;
        }
        if (auto* e = qobject_cast<QGraphicsOpacityEffect*>(fadingView_->graphicsEffect())) e->setOpacity(t);
    });
}

void TQPreferencesWindowController::finishFade()
{
    fadeTimer_.reset();
    // Without the effect the pane draws as it always does (at full opacity).
    if (fadingView_) fadingView_->setGraphicsEffect(nullptr);
    fadingView_ = nullptr;
}

// General pane

QString TQPreferencesWindowController::minimumSizeText(double bytes, int unit)
{
    const double value = KZMemoryFormatter().convertBytes(bytes, unit);
    if (!std::isfinite(value)) return QStringLiteral("0");
    char digits[400];
    std::snprintf(digits, sizeof digits, "%0.0f", std::trunc(value));
    return QString::fromLatin1(digits);
}

std::optional<double> TQPreferencesWindowController::parseMinimumSize(const QString& text, int unit)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    double value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok) value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value) || value < 0) return std::nullopt;
    double bytes = KZMemoryFormatter().convertValue(value, unit, 0);
    if (!std::isfinite(bytes)) return std::nullopt;
    // Whole bytes: 1.1 MB is 1,100,000 bytes, not a hair more.
    bytes = std::round(bytes);
    return bytes == 0 ? 0.0 : bytes;
}

QStringList TQPreferencesWindowController::parseExtensions(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList out;
    for (QString entry : text.split(separators, Qt::SkipEmptyParts)) {
        entry = entry.trimmed();
        while (entry.startsWith(QLatin1Char('.'))) entry.remove(0, 1);
        entry = entry.toLower();
        if (!entry.isEmpty() && !out.contains(entry)) out.append(entry);
    }
    return out;
}

void TQPreferencesWindowController::updateUI()
{
    if (!isWindowLoaded()) return;
    Ui::TQPreferencesWindowController* form = ui();
    Preferences& p = prefs();
    // Filling the controls is no user's change: it writes nothing.
    const QSignalBlocker blockers[] = {
        QSignalBlocker(form->fileSizeTextField),       QSignalBlocker(form->useTrashCheckbox),
        QSignalBlocker(form->fileSizeDropdown),        QSignalBlocker(form->ignoredExtensionsField),
        QSignalBlocker(form->deleteOriginalCheckbox),  QSignalBlocker(form->showHiddenFilesCheckbox),
        QSignalBlocker(form->showSystemFilesCheckbox), QSignalBlocker(form->useDeleteQueueCheckbox),
    };
    if (!memoryFormatter_) memoryFormatter_ = std::make_unique<KZMemoryFormatter>();
    const int unit = int(p.minFileSizeType());
    memoryFormatter_->setMinimumUnit(unit);
    // The size in the unit the pop-up shows, never scaled into a larger one.
    form->fileSizeTextField->setText(minimumSizeText(p.minFileSize(), unit));
    form->fileSizeTextField->setPalette(form->ignoredExtensionsField->palette());
    form->useTrashCheckbox->setChecked(p.useTrash());
    form->fileSizeDropdown->setCurrentIndex(unit);
    form->ignoredExtensionsField->setText(p.ignoreList().value_or(QStringList()).join(QStringLiteral(", ")));
    form->deleteOriginalCheckbox->setChecked(p.deleteCompressedOriginal());
    form->showHiddenFilesCheckbox->setChecked(p.showHiddenFiles());
    form->showSystemFilesCheckbox->setChecked(p.showSystemFiles());
    form->useDeleteQueueCheckbox->setChecked(p.useDeleteQueue());
}

void TQPreferencesWindowController::didToggleUseDeleteQueue()
{
    // Whatever the answer, the user has now been told about the queue.
    prefs().setHasAskedToUseDeleteQueue(true);
    prefs().setUseDeleteQueue(ui()->useDeleteQueueCheckbox->isChecked());
}

void TQPreferencesWindowController::didToggleMoveToTrash()
{
    prefs().setUseTrash(ui()->useTrashCheckbox->isChecked());
}

void TQPreferencesWindowController::didToggleDeleteOriginal()
{
    prefs().setDeleteCompressedOriginal(ui()->deleteOriginalCheckbox->isChecked());
}

void TQPreferencesWindowController::didToggleShowHiddenFiles()
{
    prefs().setShowHiddenFiles(ui()->showHiddenFilesCheckbox->isChecked());
}

void TQPreferencesWindowController::didToggleShowSystemFiles()
{
    prefs().setShowSystemFiles(ui()->showSystemFilesCheckbox->isChecked());
}

void TQPreferencesWindowController::didChangeMemoryType()
{
    // Only the unit: the size in bytes stays until the size text changes again.
    prefs().setMinFileSizeType(std::max(0, ui()->fileSizeDropdown->currentIndex()));
}

void TQPreferencesWindowController::fileSizeTextDidChange(const QString& text)
{
    QLineEdit* field = ui()->fileSizeTextField;
    const std::optional<double> bytes = parseMinimumSize(text, std::max(0, ui()->fileSizeDropdown->currentIndex()));
    QPalette palette = ui()->ignoredExtensionsField->palette();
    if (!bytes) {
        // Refused: nothing is stored, and the text shows it.
        palette.setColor(QPalette::Text, QColor(198, 40, 40));
        field->setPalette(palette);
        return;
    }
    field->setPalette(palette);
    prefs().setMinFileSize(*bytes);
}

void TQPreferencesWindowController::extensionsTextDidChange(const QString& text)
{
    prefs().setIgnoreList(parseExtensions(text));
}

void TQPreferencesWindowController::controlTextDidEndEditing()
{
    // A refused size leaves the field showing the size that is stored.
    QLineEdit* field = ui()->fileSizeTextField;
    if (!parseMinimumSize(field->text(), std::max(0, ui()->fileSizeDropdown->currentIndex()))) {
        const QSignalBlocker filling(field);
        field->setText(minimumSizeText(prefs().minFileSize(), int(prefs().minFileSizeType())));
        field->setPalette(ui()->ignoredExtensionsField->palette());
    }
}

// Ignored folders

void TQPreferencesWindowController::reloadTable()
{
    if (!folderModel_) return;
    folderModel_->clear();
    const QIcon folderIcon =
        KZImage::themeIcon(QStringLiteral("folder"), QStringLiteral("icon-folder"), QSizeF(16, 16)).icon();
    for (const QString& stored : storedIgnoredPaths()) {
        auto* item = new QStandardItem(folderIcon, kz::displayString(kz::pathFromQString(stored)));
        item->setData(stored, Qt::UserRole);
        item->setToolTip(item->text());
        folderModel_->appendRow(item);
    }
}

int TQPreferencesWindowController::numberOfRows() const
{
    return folderModel_ ? folderModel_->rowCount() : 0;
}

bool TQPreferencesWindowController::shouldAcceptFilePath(const std::string& path) const
{
    return !storedIgnoredPaths().contains(kz::pathToQString(path));
}

void TQPreferencesWindowController::addFilePaths(const std::vector<std::string>& paths)
{
    QStringList list;
    for (const std::string& path : paths) list.append(kz::pathToQString(path));
    prefs().addIgnoredFilePaths(list);
    reloadTable();
}

bool TQPreferencesWindowController::validateDrop(const std::vector<std::string>& paths) const
{
    if (paths.empty()) return false;
    return std::all_of(paths.begin(), paths.end(), [this](const std::string& p) { return shouldAcceptFilePath(p); });
}

bool TQPreferencesWindowController::acceptDrop(const std::vector<std::string>& paths)
{
    if (!validateDrop(paths)) return false;
    addFilePaths(paths);
    return true;
}

void TQPreferencesWindowController::removeFolder()
{
    KZDeleteTableView* table = ui()->ignoredTableView;
    QModelIndexList selected = table->selectionModel() ? table->selectionModel()->selectedRows() : QModelIndexList();
    if (selected.isEmpty()) return;
    std::vector<int> rows;
    for (const QModelIndex& index : selected) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    QStringList paths = storedIgnoredPaths();
    for (int row : rows) {
        if (row < paths.size()) paths.removeAt(row);
        folderModel_->removeRow(row);
    }
    prefs().setIgnoredPaths(paths);
}

void TQPreferencesWindowController::tableViewDeleteFromKeyboard(KZDeleteTableView*)
{
    removeFolder();
}

void TQPreferencesWindowController::addFolder()
{
    auto* panel = new QFileDialog(window());
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::Directory);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
    panel->setWindowTitle(QStringLiteral("Choose Folders to Ignore"));
    panel->setWindowModality(Qt::WindowModal);
    // Several folders at once.
    for (QAbstractItemView* view : panel->findChildren<QAbstractItemView*>(QStringLiteral("listView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QAbstractItemView* view : panel->findChildren<QAbstractItemView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    kz::prepareFolderPanel(panel);
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        const QStringList chosen = result == QDialog::Accepted ? panel->selectedFiles() : QStringList();
        panel->deleteLater();
        openPanelDidEnd(chosen);
    });
    panel->open();
}

void TQPreferencesWindowController::openPanelDidEnd(const QStringList& chosen)
{
    std::vector<std::string> paths;
    QStringList unreadable;
    for (const QString& file : chosen) {
        const std::string path = QFile::encodeName(file).toStdString();
        struct stat st {};
        // The panel hands back names as text; a name that is not valid UTF-8 comes back
        // altered and names nothing. Such an entry would never match, so it is not stored.
        if (::lstat(path.c_str(), &st) != 0) {
            unreadable.append(file);
            continue;
        }
        paths.push_back(path);
    }
    if (!paths.empty()) addFilePaths(paths);
    if (unreadable.isEmpty()) return;
    KZAlert alert;
    alert.messageText = QStringLiteral("Some items could not be added");
    alert.informativeText =
        QStringLiteral("The names of these items could not be read exactly:\n%1\n\nDrop them on the list instead.")
            .arg(unreadable.join(QLatin1Char('\n')));
    alert.buttons = {QStringLiteral("OK")};
    kz_beginSheetModalForWindow(alert, window(), nullptr);
}

bool TQPreferencesWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Compared without reaching into the form: events arrive while the window is torn down.
    if (watched && watched == dropTarget_.data()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (validateDrop(KZPasteboard::filePaths(drag->mimeData()))) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (acceptDrop(KZPasteboard::filePaths(drop->mimeData()))) {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
            } else {
                drop->ignore();
            }
            return true;
        }
        default:
            break;
        }
    }
    return KZWindowController::eventFilter(watched, event);
}
