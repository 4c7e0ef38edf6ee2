#pragma once
// The one settings object. Every setting is a property stored under its own key in the
// settings store and written through (and synchronised) the moment it is set, also when the
// value does not change; each set is announced by the property's signal. Defaults are
// registered at start, the default ignored folders coming from the ignore-list resource.
//
// The settings are one table, SIZEMERE_PREFERENCES below: a row names the setting once, and
// everything else is made from it. For a row (Type, name, Name, "Key", default, check):
//   Preferences::NameKey           the key in the settings store ("Key")
//   Type name() const              the value
//   void setName(value)            stores check(value) and writes it through at once
//   signal nameChanged()           after every set, then propertyChanged("name")
// default is the registered default (std::nullopt: none, the value reads as false, 0 or
// null), check the rule every value passes, loaded or set.

#include "model/KZMemoryFormatter.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <type_traits>

class KZUserDefaults;

// clang-format off
// Type, property, property with a capital, key, registered default, check.
#define SIZEMERE_PREFERENCES(X)                                                                                   \
    X(std::optional<QStringList>, ignoreList, IgnoreList, "IgnoreList", std::nullopt, anyValue)                    \
    X(std::optional<QStringList>, ignoredPaths, IgnoredPaths, "IgnoredPaths", defaultIgnoredPaths(), anyValue)     \
    X(double, minFileSize, MinFileSize, "MinimumFileSize", 50000.0, notNegative)                                   \
    X(qint64, minFileSizeType, MinFileSizeType, "MinimumFileSizeType", 1, formatterUnit)                           \
    X(bool, useTrash, UseTrash, "UseTrash", true, anyValue)                                                        \
    X(bool, deleteCompressedOriginal, DeleteCompressedOriginal, "DeleteCompressedOriginal", true, anyValue)        \
    X(bool, suppressSelectAllWarning, SuppressSelectAllWarning, "SuppressSelectAllWarning", std::nullopt, anyValue) \
    X(bool, suppressFinderWarning, SuppressFinderWarning, "SuppressFinderWarning", std::nullopt, anyValue)         \
    X(bool, suppressSelectAllFilesWarning, SuppressSelectAllFilesWarning, "SuppressSelectAllFilesWarning",         \
      std::nullopt, anyValue)                                                                                       \
    X(bool, suppressDeselectAllFilesWarning, SuppressDeselectAllFilesWarning, "SuppressDeselectAllFilesWarning",   \
      std::nullopt, anyValue)                                                                                       \
    X(bool, suppressFileChangeAlert, SuppressFileChangeAlert, "SuppressFileChangeAlert", std::nullopt, anyValue)   \
    X(qint64, timesRun, TimesRun, "TimesRun", std::nullopt, anyValue)                                              \
    X(bool, firstRun, FirstRun, "FirstRun", true, anyValue)                                                        \
    X(bool, showSystemFiles, ShowSystemFiles, "ShowSystemFiles", std::nullopt, anyValue)                           \
    X(bool, showHiddenFiles, ShowHiddenFiles, "ShowHiddenFiles", std::nullopt, anyValue)                           \
    X(QString, selectedThemeName, SelectedThemeName, "SelectedThemeName", QStringLiteral("Blue Skies"), anyValue)  \
    X(bool, useDepth, UseDepth, "ThemesUseDepth", true, anyValue)                                                  \
    X(bool, hasAskedToUseDeleteQueue, HasAskedToUseDeleteQueue, "HaveIToldYouAboutTheDeleteQueueYet",              \
      std::nullopt, anyValue)                                                                                       \
    X(bool, useDeleteQueue, UseDeleteQueue, "UseDeleteQueue", std::nullopt, anyValue)                              \
    X(bool, suppressEmptyTrashAlert, SuppressEmptyTrashAlert, "SuppressEmptyTrashAlert", std::nullopt, anyValue)   \
    X(bool, suppressEmptyQueueAlert, SuppressEmptyQueueAlert, "SuppressEmptyQueueAlert", std::nullopt, anyValue)

// A setter's parameter: numbers and flags by value, lists and strings by reference.
template <class T> using PreferenceArgument = std::conditional_t<std::is_scalar_v<T>, T, const T&>;

#define SIZEMERE_PREFERENCE_KEY(Type, name, Name, key, registered, check)                                          \
    static inline const QString Name##Key = QStringLiteral(key);
#define SIZEMERE_PREFERENCE_ACCESSORS(Type, name, Name, key, registered, check)                                    \
    Type name() const { return name##_; }                                                                           \
    void set##Name(PreferenceArgument<Type> value);
#define SIZEMERE_PREFERENCE_SIGNAL(Type, name, Name, key, registered, check) void name##Changed();
#define SIZEMERE_PREFERENCE_MEMBER(Type, name, Name, key, registered, check) Type name##_ = Type();
// clang-format on

class Preferences : public QObject {
    Q_OBJECT
public:
    static Preferences& sharedPreferences();
    // A settings object over another store (tests).
    explicit Preferences(KZUserDefaults& defaults, QObject* parent = nullptr);
    ~Preferences() override;

    // The settings store's key of each setting (Preferences::UseTrashKey, ...).
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_KEY)
    // A key no setting uses, kept for stores written by older versions.
    static inline const QString UseHardLinksKey = QStringLiteral("UseHardLinks");

    // The getter and setter of each setting (useTrash(), setUseTrash(bool), ...).
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_ACCESSORS)

    // timesRun + 1, written through.
    void incrementTimesRun();
    // Appends the paths that ignoredPaths doesn't hold yet (exact comparison), in order.
    void addIgnoredFilePaths(const QStringList& paths);
    // The "Preferences" array of the ignore-list resource, as it stands; empty when missing.
    static QStringList defaultIgnoredPaths();
    // Property name to settings-store key, for all 21 settings (from the table).
    const QMap<QString, QString>& propertyMap() const { return propertyMap_; }
    KZUserDefaults& userDefaults() const { return defaults_; }

    void setupDefaults();
    void populateProperties();

Q_SIGNALS:
    // One per setting (useTrashChanged(), ...), after every set.
    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_SIGNAL)
    // Any setting, by property name.
    void propertyChanged(const QString& name);

private:
    void writeThrough(const QString& key, const QVariant& value);

    KZUserDefaults& defaults_;
    QMap<QString, QString> propertyMap_;

    SIZEMERE_PREFERENCES(SIZEMERE_PREFERENCE_MEMBER)
};
