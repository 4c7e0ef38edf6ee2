#pragma once
// File paths carried by drags and the clipboard as "text/uri-list". Paths stay bytes: the
// percent-encoded URIs are decoded byte for byte, so names that are not UTF-8 survive.

#include <QByteArray>

#include <string>
#include <vector>

class QMimeData;

class KZPasteboard {
public:
    // The local paths of the "file:" URIs in the data, in order; others are skipped.
    static std::vector<std::string> filePaths(const QMimeData* data);
    static std::vector<std::string> filePathsFromURIList(const QByteArray& uriList);
    // A "text/uri-list" body naming the paths (for drags that the program starts, and tests).
    static QByteArray uriListForPaths(const std::vector<std::string>& paths);
    // Mime data carrying the paths as "text/uri-list"; the caller owns it.
    static QMimeData* mimeDataForPaths(const std::vector<std::string>& paths);
};
