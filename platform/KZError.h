#pragma once
// The failure of one file operation, as the user will read it in an alert: the domain the
// code belongs to, the code, and a sentence. Failures are collected and handed back, never
// thrown.

#include <QString>

#include <map>
#include <string>

class KZError {
public:
    // The program's own errors.
    static inline const QString SizemereDomain = QStringLiteral("Sizemere");
    // Errors of the operating system; the code is the errno value.
    static inline const QString POSIXDomain = QStringLiteral("POSIX");

    // Codes of SizemereDomain.
    enum Code : int {
        CompressionFailed = 1, // every failure of a compression
        ChangedSinceScan = 2,  // the item at the path is no longer the one scanned
        ProtectedItem = 3,     // "/", a home folder or a folder above one
        StillPresent = 4,      // the operation reported success but the item is still there
        InTrash = 5,           // the item is in a Trash (or is one) and can't be moved to a Trash
        HoldsMountedVolume = 6 // a volume is mounted inside the folder
    };

    KZError() = default;
    KZError(QString domain, int code, QString description)
        : domain_(std::move(domain)), code_(code), description_(std::move(description))
    {
    }
    // A POSIX error: the system's text for the code, after `context` when given.
    static KZError posix(int error, const QString& context = {});
    static KZError sizemere(int code, QString description) { return {SizemereDomain, code, std::move(description)}; }

    const QString& domain() const { return domain_; }
    int code() const { return code_; }
    const QString& localizedDescription() const { return description_; }
    friend bool operator==(const KZError&, const KZError&) = default;

private:
    QString domain_;
    int code_ = 0;
    QString description_;
};

// Errors by the path of the item that failed, in path order.
using KZErrorTable = std::map<std::string, KZError>;
