#include "model/Preferences.h"

#include "platform/KZUserDefaults.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

Preferences& Preferences::sharedPreferences()
{
    static Preferences* shared = new Preferences(KZUserDefaults::standardUserDefaults());
    return *shared;
}

Preferences::Preferences(KZUserDefaults& defaults, QObject* parent) : QObject(parent), defaults_(defaults)
{
    propertyMap_.insert(QStringLiteral("ignoreList"), IgnoreListKey);
    propertyMap_.insert(QStringLiteral("ignoredPaths"), IgnoredPathsKey);
    propertyMap_.insert(QStringLiteral("minFileSize"), MinFileSizeKey);
    propertyMap_.insert(QStringLiteral("minFileSizeType"), MinFileSizeTypeKey);
    propertyMap_.insert(QStringLiteral("useTrash"), UseTrashKey);
    propertyMap_.insert(QStringLiteral("deleteCompressedOriginal"), DeleteCompressedOriginalKey);
    propertyMap_.insert(QStringLiteral("suppressSelectAllWarning"), SuppressSelectAllWarningKey);
    propertyMap_.insert(QStringLiteral("suppressFinderWarning"), SuppressFinderWarningKey);
    propertyMap_.insert(QStringLiteral("suppressSelectAllFilesWarning"), SuppressSelectAllFilesWarningKey);
    propertyMap_.insert(QStringLiteral("suppressDeselectAllFilesWarning"), SuppressDeselectAllFilesWarningKey);
    propertyMap_.insert(QStringLiteral("suppressFileChangeAlert"), SuppressFileChangeAlertKey);
    propertyMap_.insert(QStringLiteral("timesRun"), TimesRunKey);
    propertyMap_.insert(QStringLiteral("firstRun"), FirstRunKey);
    propertyMap_.insert(QStringLiteral("showSystemFiles"), ShowSystemFilesKey);
    propertyMap_.insert(QStringLiteral("showHiddenFiles"), ShowHiddenFilesKey);
    propertyMap_.insert(QStringLiteral("selectedThemeName"), SelectedThemeNameKey);
    propertyMap_.insert(QStringLiteral("useDepth"), UseDepthKey);
    propertyMap_.insert(QStringLiteral("hasAskedToUseDeleteQueue"), HasAskedToUseDeleteQueueKey);
    propertyMap_.insert(QStringLiteral("useDeleteQueue"), UseDeleteQueueKey);
    propertyMap_.insert(QStringLiteral("suppressEmptyTrashAlert"), SuppressEmptyTrashAlertKey);
    propertyMap_.insert(QStringLiteral("suppressEmptyQueueAlert"), SuppressEmptyQueueAlertKey);
    setupDefaults();
    populateProperties();
}

Preferences::~Preferences() = default;

QStringList Preferences::defaultIgnoredPaths()
{
    QFile file(QStringLiteral(":/IgnoreList.json"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return {};
    const QJsonValue list = doc.object().value(QStringLiteral("Preferences"));
    if (!list.isArray()) return {};
    QStringList out;
    for (const QJsonValue& v : list.toArray())
        if (v.isString()) out.append(v.toString());
    return out;
}

void Preferences::setupDefaults()
{
    defaults_.registerDefaults({
        {MinFileSizeKey, 50000.0},
        {MinFileSizeTypeKey, 1},
        {UseTrashKey, true},
        {FirstRunKey, true},
        {DeleteCompressedOriginalKey, true},
        {UseDepthKey, true},
        {SelectedThemeNameKey, QStringLiteral("Blue Skies")},
        {IgnoredPathsKey, defaultIgnoredPaths()},
    });
}

void Preferences::populateProperties()
{
    // Loaded without writing anything back.
    ignoreList_ = defaults_.stringArrayForKey(IgnoreListKey);
    ignoredPaths_ = defaults_.stringArrayForKey(IgnoredPathsKey);
    minFileSize_ = defaults_.doubleForKey(MinFileSizeKey);
    minFileSizeType_ = defaults_.integerForKey(MinFileSizeTypeKey);
    useTrash_ = defaults_.boolForKey(UseTrashKey);
    deleteCompressedOriginal_ = defaults_.boolForKey(DeleteCompressedOriginalKey);
    suppressSelectAllWarning_ = defaults_.boolForKey(SuppressSelectAllWarningKey);
    suppressFinderWarning_ = defaults_.boolForKey(SuppressFinderWarningKey);
    suppressSelectAllFilesWarning_ = defaults_.boolForKey(SuppressSelectAllFilesWarningKey);
    suppressDeselectAllFilesWarning_ = defaults_.boolForKey(SuppressDeselectAllFilesWarningKey);
    suppressFileChangeAlert_ = defaults_.boolForKey(SuppressFileChangeAlertKey);
    timesRun_ = defaults_.integerForKey(TimesRunKey);
    firstRun_ = defaults_.boolForKey(FirstRunKey);
    showSystemFiles_ = defaults_.boolForKey(ShowSystemFilesKey);
    showHiddenFiles_ = defaults_.boolForKey(ShowHiddenFilesKey);
    selectedThemeName_ = defaults_.stringForKey(SelectedThemeNameKey);
    useDepth_ = defaults_.boolForKey(UseDepthKey);
    hasAskedToUseDeleteQueue_ = defaults_.boolForKey(HasAskedToUseDeleteQueueKey);
    useDeleteQueue_ = defaults_.boolForKey(UseDeleteQueueKey);
    suppressEmptyTrashAlert_ = defaults_.boolForKey(SuppressEmptyTrashAlertKey);
    suppressEmptyQueueAlert_ = defaults_.boolForKey(SuppressEmptyQueueAlertKey);
    // A unit index the formatter doesn't have would index past its unit names.
    minFileSizeType_ = std::clamp<qint64>(minFileSizeType_, 0, KZMemoryFormatter::unitCount() - 1);
    if (minFileSize_ < 0) minFileSize_ = 0;
}

void Preferences::writeThrough(const QString& property, const QVariant& value)
{
    const QString key = propertyMap_.value(property);
    if (key.isEmpty()) return;
    if (!value.isValid() || value.isNull()) {
        defaults_.removeObject(key);
    } else {
        defaults_.setObject(key, value);
    }
}

void Preferences::setIgnoreList(const std::optional<QStringList>& value)
{
    ignoreList_ = value;
    writeThrough(QStringLiteral("ignoreList"), value ? QVariant(*value) : QVariant());
    Q_EMIT ignoreListChanged();
    Q_EMIT propertyChanged(QStringLiteral("ignoreList"));
}

void Preferences::setIgnoredPaths(const std::optional<QStringList>& value)
{
    ignoredPaths_ = value;
    writeThrough(QStringLiteral("ignoredPaths"), value ? QVariant(*value) : QVariant());
    Q_EMIT ignoredPathsChanged();
    Q_EMIT propertyChanged(QStringLiteral("ignoredPaths"));
}

void Preferences::setMinFileSize(double value)
{
    minFileSize_ = value;
    writeThrough(QStringLiteral("minFileSize"), QVariant(value));
    Q_EMIT minFileSizeChanged();
    Q_EMIT propertyChanged(QStringLiteral("minFileSize"));
}

void Preferences::setMinFileSizeType(qint64 value)
{
    const qint64 clamped = std::clamp<qint64>(value, 0, KZMemoryFormatter::unitCount() - 1);
    minFileSizeType_ = clamped;
    writeThrough(QStringLiteral("minFileSizeType"), QVariant::fromValue(clamped));
    Q_EMIT minFileSizeTypeChanged();
    Q_EMIT propertyChanged(QStringLiteral("minFileSizeType"));
}

void Preferences::setUseTrash(bool value)
{
    useTrash_ = value;
    writeThrough(QStringLiteral("useTrash"), QVariant(value));
    Q_EMIT useTrashChanged();
    Q_EMIT propertyChanged(QStringLiteral("useTrash"));
}

void Preferences::setDeleteCompressedOriginal(bool value)
{
    deleteCompressedOriginal_ = value;
    writeThrough(QStringLiteral("deleteCompressedOriginal"), QVariant(value));
    Q_EMIT deleteCompressedOriginalChanged();
    Q_EMIT propertyChanged(QStringLiteral("deleteCompressedOriginal"));
}

void Preferences::setSuppressSelectAllWarning(bool value)
{
    suppressSelectAllWarning_ = value;
    writeThrough(QStringLiteral("suppressSelectAllWarning"), QVariant(value));
    Q_EMIT suppressSelectAllWarningChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressSelectAllWarning"));
}

void Preferences::setSuppressFinderWarning(bool value)
{
    suppressFinderWarning_ = value;
    writeThrough(QStringLiteral("suppressFinderWarning"), QVariant(value));
    Q_EMIT suppressFinderWarningChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressFinderWarning"));
}

void Preferences::setSuppressSelectAllFilesWarning(bool value)
{
    suppressSelectAllFilesWarning_ = value;
    writeThrough(QStringLiteral("suppressSelectAllFilesWarning"), QVariant(value));
    Q_EMIT suppressSelectAllFilesWarningChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressSelectAllFilesWarning"));
}

void Preferences::setSuppressDeselectAllFilesWarning(bool value)
{
    suppressDeselectAllFilesWarning_ = value;
    writeThrough(QStringLiteral("suppressDeselectAllFilesWarning"), QVariant(value));
    Q_EMIT suppressDeselectAllFilesWarningChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressDeselectAllFilesWarning"));
}

void Preferences::setSuppressFileChangeAlert(bool value)
{
    suppressFileChangeAlert_ = value;
    writeThrough(QStringLiteral("suppressFileChangeAlert"), QVariant(value));
    Q_EMIT suppressFileChangeAlertChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressFileChangeAlert"));
}

void Preferences::setTimesRun(qint64 value)
{
    timesRun_ = value;
    writeThrough(QStringLiteral("timesRun"), QVariant::fromValue(value));
    Q_EMIT timesRunChanged();
    Q_EMIT propertyChanged(QStringLiteral("timesRun"));
}

void Preferences::setFirstRun(bool value)
{
    firstRun_ = value;
    writeThrough(QStringLiteral("firstRun"), QVariant(value));
    Q_EMIT firstRunChanged();
    Q_EMIT propertyChanged(QStringLiteral("firstRun"));
}

void Preferences::setShowSystemFiles(bool value)
{
    showSystemFiles_ = value;
    writeThrough(QStringLiteral("showSystemFiles"), QVariant(value));
    Q_EMIT showSystemFilesChanged();
    Q_EMIT propertyChanged(QStringLiteral("showSystemFiles"));
}

void Preferences::setShowHiddenFiles(bool value)
{
    showHiddenFiles_ = value;
    writeThrough(QStringLiteral("showHiddenFiles"), QVariant(value));
    Q_EMIT showHiddenFilesChanged();
    Q_EMIT propertyChanged(QStringLiteral("showHiddenFiles"));
}

void Preferences::setSelectedThemeName(const QString& value)
{
    selectedThemeName_ = value;
    writeThrough(QStringLiteral("selectedThemeName"), value.isNull() ? QVariant() : QVariant(value));
    Q_EMIT selectedThemeNameChanged();
    Q_EMIT propertyChanged(QStringLiteral("selectedThemeName"));
}

void Preferences::setUseDepth(bool value)
{
    useDepth_ = value;
    writeThrough(QStringLiteral("useDepth"), QVariant(value));
    Q_EMIT useDepthChanged();
    Q_EMIT propertyChanged(QStringLiteral("useDepth"));
}

void Preferences::setHasAskedToUseDeleteQueue(bool value)
{
    hasAskedToUseDeleteQueue_ = value;
    writeThrough(QStringLiteral("hasAskedToUseDeleteQueue"), QVariant(value));
    Q_EMIT hasAskedToUseDeleteQueueChanged();
    Q_EMIT propertyChanged(QStringLiteral("hasAskedToUseDeleteQueue"));
}

void Preferences::setUseDeleteQueue(bool value)
{
    useDeleteQueue_ = value;
    writeThrough(QStringLiteral("useDeleteQueue"), QVariant(value));
    Q_EMIT useDeleteQueueChanged();
    Q_EMIT propertyChanged(QStringLiteral("useDeleteQueue"));
}

void Preferences::setSuppressEmptyTrashAlert(bool value)
{
    suppressEmptyTrashAlert_ = value;
    writeThrough(QStringLiteral("suppressEmptyTrashAlert"), QVariant(value));
    Q_EMIT suppressEmptyTrashAlertChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressEmptyTrashAlert"));
}

void Preferences::setSuppressEmptyQueueAlert(bool value)
{
    suppressEmptyQueueAlert_ = value;
    writeThrough(QStringLiteral("suppressEmptyQueueAlert"), QVariant(value));
    Q_EMIT suppressEmptyQueueAlertChanged();
    Q_EMIT propertyChanged(QStringLiteral("suppressEmptyQueueAlert"));
}

void Preferences::incrementTimesRun()
{
    setTimesRun(timesRun_ + 1);
}

void Preferences::addIgnoredFilePaths(const QStringList& paths)
{
    QStringList added = paths;
    if (ignoredPaths_) {
        const QStringList& current = *ignoredPaths_;
        added.erase(std::remove_if(added.begin(), added.end(),
                                   [&current](const QString& p) { return current.contains(p); }),
                    added.end());
        setIgnoredPaths(current + added);
    } else {
        setIgnoredPaths(added);
    }
}
