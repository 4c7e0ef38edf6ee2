#pragma once
// TEMPORARY STUB until the maker's framework stand-in lands.
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
