#pragma once
// The one settings object. Every setting is a property stored under its own key in the
// settings store and written through (and synchronised) the moment it is set, also when the
// value does not change; each set is announced by the property's signal. Defaults are
// registered at start, the default ignored folders coming from the ignore-list resource.

#include "model/KZMemoryFormatter.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class KZUserDefaults;

class Preferences : public QObject {
    Q_OBJECT
public:
    static Preferences& sharedPreferences();
    // A settings object over another store (tests).
    explicit Preferences(KZUserDefaults& defaults, QObject* parent = nullptr);
    ~Preferences() override;

    // The user-defaults key of each setting.

    static inline const QString IgnoreListKey = QStringLiteral("IgnoreList");
    static inline const QString IgnoredPathsKey = QStringLiteral("IgnoredPaths");
    static inline const QString MinFileSizeKey = QStringLiteral("MinimumFileSize");
    static inline const QString MinFileSizeTypeKey = QStringLiteral("MinimumFileSizeType");
    static inline const QString UseTrashKey = QStringLiteral("UseTrash");
    static inline const QString DeleteCompressedOriginalKey = QStringLiteral("DeleteCompressedOriginal");
    static inline const QString SuppressSelectAllWarningKey = QStringLiteral("SuppressSelectAllWarning");
    static inline const QString SuppressFinderWarningKey = QStringLiteral("SuppressFinderWarning");
    static inline const QString SuppressSelectAllFilesWarningKey = QStringLiteral("SuppressSelectAllFilesWarning");
    static inline const QString SuppressDeselectAllFilesWarningKey = QStringLiteral("SuppressDeselectAllFilesWarning");
    static inline const QString SuppressFileChangeAlertKey = QStringLiteral("SuppressFileChangeAlert");
    static inline const QString TimesRunKey = QStringLiteral("TimesRun");
    static inline const QString FirstRunKey = QStringLiteral("FirstRun");
    static inline const QString ShowSystemFilesKey = QStringLiteral("ShowSystemFiles");
    static inline const QString ShowHiddenFilesKey = QStringLiteral("ShowHiddenFiles");
    static inline const QString SelectedThemeNameKey = QStringLiteral("SelectedThemeName");
    static inline const QString UseDepthKey = QStringLiteral("ThemesUseDepth");
    static inline const QString HasAskedToUseDeleteQueueKey = QStringLiteral("HaveIToldYouAboutTheDeleteQueueYet");
    static inline const QString UseDeleteQueueKey = QStringLiteral("UseDeleteQueue");
    static inline const QString SuppressEmptyTrashAlertKey = QStringLiteral("SuppressEmptyTrashAlert");
    static inline const QString SuppressEmptyQueueAlertKey = QStringLiteral("SuppressEmptyQueueAlert");
    // A key no setting uses, kept for stores written by older versions.
    static inline const QString UseHardLinksKey = QStringLiteral("UseHardLinks");

    std::optional<QStringList> ignoreList() const { return ignoreList_; }
    void setIgnoreList(const std::optional<QStringList>& value);
    std::optional<QStringList> ignoredPaths() const { return ignoredPaths_; }
    void setIgnoredPaths(const std::optional<QStringList>& value);
    double minFileSize() const { return minFileSize_; }
    void setMinFileSize(double value);
    qint64 minFileSizeType() const { return minFileSizeType_; }
    void setMinFileSizeType(qint64 value);
    bool useTrash() const { return useTrash_; }
    void setUseTrash(bool value);
    bool deleteCompressedOriginal() const { return deleteCompressedOriginal_; }
    void setDeleteCompressedOriginal(bool value);
    bool suppressSelectAllWarning() const { return suppressSelectAllWarning_; }
    void setSuppressSelectAllWarning(bool value);
    bool suppressFinderWarning() const { return suppressFinderWarning_; }
    void setSuppressFinderWarning(bool value);
    bool suppressSelectAllFilesWarning() const { return suppressSelectAllFilesWarning_; }
    void setSuppressSelectAllFilesWarning(bool value);
    bool suppressDeselectAllFilesWarning() const { return suppressDeselectAllFilesWarning_; }
    void setSuppressDeselectAllFilesWarning(bool value);
    bool suppressFileChangeAlert() const { return suppressFileChangeAlert_; }
    void setSuppressFileChangeAlert(bool value);
    qint64 timesRun() const { return timesRun_; }
    void setTimesRun(qint64 value);
    bool firstRun() const { return firstRun_; }
    void setFirstRun(bool value);
    bool showSystemFiles() const { return showSystemFiles_; }
    void setShowSystemFiles(bool value);
    bool showHiddenFiles() const { return showHiddenFiles_; }
    void setShowHiddenFiles(bool value);
    QString selectedThemeName() const { return selectedThemeName_; }
    void setSelectedThemeName(const QString& value);
    bool useDepth() const { return useDepth_; }
    void setUseDepth(bool value);
    bool hasAskedToUseDeleteQueue() const { return hasAskedToUseDeleteQueue_; }
    void setHasAskedToUseDeleteQueue(bool value);
    bool useDeleteQueue() const { return useDeleteQueue_; }
    void setUseDeleteQueue(bool value);
    bool suppressEmptyTrashAlert() const { return suppressEmptyTrashAlert_; }
    void setSuppressEmptyTrashAlert(bool value);
    bool suppressEmptyQueueAlert() const { return suppressEmptyQueueAlert_; }
    void setSuppressEmptyQueueAlert(bool value);

    // timesRun + 1, written through.
    void incrementTimesRun();
    // Appends the paths that ignoredPaths doesn't hold yet (exact comparison), in order.
    void addIgnoredFilePaths(const QStringList& paths);
    // The "Preferences" array of the ignore-list resource, as it stands; empty when missing.
    static QStringList defaultIgnoredPaths();
    // Property name to user-defaults key, for all 21 settings.
    const QMap<QString, QString>& propertyMap() const { return propertyMap_; }
    void setPropertyMap(QMap<QString, QString> map) { propertyMap_ = std::move(map); }
    KZUserDefaults& userDefaults() const { return defaults_; }

    void setupDefaults();
    void populateProperties();

Q_SIGNALS:
    void ignoreListChanged();
    void ignoredPathsChanged();
    void minFileSizeChanged();
    void minFileSizeTypeChanged();
    void useTrashChanged();
    void deleteCompressedOriginalChanged();
    void suppressSelectAllWarningChanged();
    void suppressFinderWarningChanged();
    void suppressSelectAllFilesWarningChanged();
    void suppressDeselectAllFilesWarningChanged();
    void suppressFileChangeAlertChanged();
    void timesRunChanged();
    void firstRunChanged();
    void showSystemFilesChanged();
    void showHiddenFilesChanged();
    void selectedThemeNameChanged();
    void useDepthChanged();
    void hasAskedToUseDeleteQueueChanged();
    void useDeleteQueueChanged();
    void suppressEmptyTrashAlertChanged();
    void suppressEmptyQueueAlertChanged();
    // Any setting, by property name.
    void propertyChanged(const QString& name);

private:
    void writeThrough(const QString& property, const QVariant& value);

    KZUserDefaults& defaults_;
    QMap<QString, QString> propertyMap_;

    std::optional<QStringList> ignoreList_;
    std::optional<QStringList> ignoredPaths_;
    double minFileSize_ = 0;
    qint64 minFileSizeType_ = 0;
    bool useTrash_ = false;
    bool deleteCompressedOriginal_ = false;
    bool suppressSelectAllWarning_ = false;
    bool suppressFinderWarning_ = false;
    bool suppressSelectAllFilesWarning_ = false;
    bool suppressDeselectAllFilesWarning_ = false;
    bool suppressFileChangeAlert_ = false;
    qint64 timesRun_ = 0;
    bool firstRun_ = false;
    bool showSystemFiles_ = false;
    bool showHiddenFiles_ = false;
    QString selectedThemeName_;
    bool useDepth_ = false;
    bool hasAskedToUseDeleteQueue_ = false;
    bool useDeleteQueue_ = false;
    bool suppressEmptyTrashAlert_ = false;
    bool suppressEmptyQueueAlert_ = false;
};
