#pragma once
// Ostrel stand-in: the configuration the application hands to KZCore at launch (its store
// identifier, and whether the maker's windows offer a run-at-login button; ours never do).

#include <QString>

class KZCConfig {
public:
    QString appStoreID() const { return appStoreID_; }
    void setAppStoreID(const QString& identifier) { appStoreID_ = identifier; }
    bool showsRunAtLoginButton() const { return showsRunAtLoginButton_; }
    void setShowsRunAtLoginButton(bool shows) { showsRunAtLoginButton_ = shows; }

private:
    QString appStoreID_;
    bool showsRunAtLoginButton_ = false;
};
