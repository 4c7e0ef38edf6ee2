#pragma once
// The preferences' About pane: the program's name and version (from the build), the notice
// with its year filled in, and four links to the maker's pages, opened in the browser.

#include "kit/KZInterfaceFile.h"
#include "kit/KZViewController.h"

KZ_INTERFACE_CLASS(KZAboutViewController)

class KZAboutViewController : public KZViewController {
    Q_OBJECT
    KZ_INTERFACE_FILE(KZAboutViewController)
public:
    // Link actions.
    void faqButtonPressed();
    void fanButtonPressed();
    void twitterButtonPressed();
    void zandrelButtonPressed();
    void openURL(const QString& address);

    void setAppNameAndVersion();
    void setCopyright();
    // The notice with every "CURRENT_YEAR" replaced by the year.
    static QString noticeForYear(const QString& notice, int year);
    // This year, in the Gregorian calendar.
    static int year();

    static QString applicationName();
    static QString applicationVersion();

protected:
    void awakeFromNib() override;
};
