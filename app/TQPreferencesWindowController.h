#pragma once
// The preferences window: three panes behind a toolbar ("General", "ColorTheme", "About").
// Every control writes its setting the moment it changes, by a click, a key or an assistive
// technology's action alike; the window fills its controls with their signals blocked, so
// opening the window changes no setting. The General pane holds the deletion, compression and scanning settings and the
// ignored folders (added with the panel or by dropping folders on the list, removed with the
// button or the Delete keys). The colour-theme and about panes are made on first use.
//
// The application delegate makes the controller on demand and releases it after its window
// closed (willClose), with deleteLater: never inside the close itself.

#include "kit/KZDeleteTableView.h"
#include "kit/KZInterfaceFile.h"
#include "kit/KZWindowController.h"
#include "model/KZMemoryFormatter.h"
#include "platform/KZAnimationClock.h"

#include <QHash>
#include <QPointer>
#include <QSize>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

KZ_INTERFACE_CLASS(TQPreferencesWindowController)

class KZAboutViewController;
class QStandardItemModel;
class TQColorThemeViewController;

class TQPreferencesWindowController : public KZWindowController, public KZDeleteTableViewDelegate {
    Q_OBJECT
    KZ_INTERFACE_FILE(TQPreferencesWindowController)
public:
    TQPreferencesWindowController();
    ~TQPreferencesWindowController() override;

    // Toolbar actions.
    void openGeneral();
    void openColorTheme();
    void openAbout() { openAbout(true); }
    // The application delegate's About: the About pane, its window resize animated or not.
    void openAbout(bool animated);

    // The pane switch: the first pane shows at once; later ones fade in over 0.1 s, and the
    // window takes the pane's size (animated when asked).
    void setCurrentView(QWidget* view) { setCurrentView(view, true); }
    void setCurrentView(QWidget* view, bool animated);
    QWidget* currentView() const { return currentView_; }
    // The identifier of the toolbar item shown selected ("General", "ColorTheme", "About").
    QString selectedToolbarItemIdentifier() const;

    // Loads every General control from the settings.
    void updateUI();

    // Setting actions (sent by the controls on the user's changes).
    void didToggleUseDeleteQueue();
    void didToggleMoveToTrash();
    void didToggleDeleteOriginal();
    void didToggleShowHiddenFiles();
    void didToggleShowSystemFiles();
    void didChangeMemoryType();
    void fileSizeTextDidChange(const QString& text);
    void extensionsTextDidChange(const QString& text);
    void controlTextDidEndEditing();

    // The ignored folders.
    void addFolder();
    // The panel's answer: the chosen items are added; one whose name came back altered (a
    // name that is not UTF-8) is reported in an alert instead.
    void openPanelDidEnd(const QStringList& chosen);
    void removeFolder();
    // False for a path already listed (exact comparison).
    bool shouldAcceptFilePath(const std::string& path) const;
    // Appends the paths not yet listed.
    void addFilePaths(const std::vector<std::string>& paths);
    void tableViewDeleteFromKeyboard(KZDeleteTableView* tableView) override;
    // The drop rule: every dragged path must be acceptable, else the whole drop is refused.
    bool validateDrop(const std::vector<std::string>& paths) const;
    bool acceptDrop(const std::vector<std::string>& paths);
    // Rows of the folder table (display strings).
    int numberOfRows() const;

    TQColorThemeViewController* colorThemeViewController() const { return colorThemeViewController_.get(); }
    KZAboutViewController* aboutViewController() const { return aboutViewController_.get(); }

    // The size text read as a number of the given unit, in bytes; nothing for text that is
    // not a number, negative, or too large to hold.
    static std::optional<double> parseMinimumSize(const QString& text, int unit);
    // The extensions of the field's text: split at commas and white space, trimmed, leading
    // dots removed, lower-cased, empty and repeated entries dropped.
    static QStringList parseExtensions(const QString& text);
    // The size field's text for a size in bytes shown in a unit: the whole number of that
    // unit (the fraction cut off).
    static QString minimumSizeText(double bytes, int unit);

    static inline const QString GeneralIdentifier = QStringLiteral("General");
    static inline const QString ColorThemeIdentifier = QStringLiteral("ColorTheme");
    static inline const QString AboutIdentifier = QStringLiteral("About");
    static constexpr double FadeDuration = 0.1;

protected:
    void awakeFromNib() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Set-up pieces: the pane toolbar, the General pane's controls and table, and what each
    // control writes.
    void setUpToolbar();
    void setUpGeneralPane();
    void connectControls();
    void selectToolbarItem(const QString& identifier);
    void reloadTable();
    void fadeIn(QWidget* view);
    void finishFade();
    void resizeWindowForPane(QSize paneSize, bool animated);
    QSize paneSize(QWidget* view);

    bool isLoaded_ = false;
    bool selectingToolbarItem_ = false;
    QPointer<QWidget> currentView_;
    std::unique_ptr<KZAboutViewController> aboutViewController_;
    std::unique_ptr<TQColorThemeViewController> colorThemeViewController_;
    std::unique_ptr<KZMemoryFormatter> memoryFormatter_;
    QStandardItemModel* folderModel_ = nullptr;
    // The folder table's viewport, which takes the drops (gone with the window).
    QPointer<QWidget> dropTarget_;
    QHash<QWidget*, QSize> paneSizes_;
    QPointer<QWidget> fadingView_;
    double fadeStart_ = 0;
    std::unique_ptr<KZAnimationClock::Timer> fadeTimer_;
};
