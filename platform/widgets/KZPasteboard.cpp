#include "platform/widgets/KZPasteboard.h"

#include <QList>
#include <QMimeData>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const QByteArray& text)
{
    std::string out;
    out.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() + 0 && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::vector<std::string> KZPasteboard::filePathsFromURIList(const QByteArray& uriList)
{
    std::vector<std::string> paths;
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (!line.toLower().startsWith("file:")) continue;
        QByteArray rest = line.mid(5);
        if (rest.startsWith("//")) {
            rest = rest.mid(2);
            const qsizetype slash = rest.indexOf('/');
            if (slash < 0) continue;
            const QByteArray host = rest.left(slash);
            // Only this machine's files: no host or "localhost".
            if (!host.isEmpty() && host.toLower() != "localhost") continue;
            rest = rest.mid(slash);
        }
        if (!rest.startsWith('/')) continue;
        const qsizetype query = rest.indexOf('?');
        if (query >= 0) rest.truncate(query);
        const qsizetype fragment = rest.indexOf('#');
        if (fragment >= 0) rest.truncate(fragment);
        std::string path = percentDecode(rest);
        if (path.find('\0') != std::string::npos) continue;
        paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<std::string> KZPasteboard::filePaths(const QMimeData* data)
{
    if (!data || !data->hasFormat(QStringLiteral("text/uri-list"))) return {};
    return filePathsFromURIList(data->data(QStringLiteral("text/uri-list")));
}

QByteArray KZPasteboard::uriListForPaths(const std::vector<std::string>& paths)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const std::string& path : paths) {
        out += "file://";
        for (unsigned char c : path) {
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                               c == '-' || c == '_' || c == '.' || c == '~';
            if (plain) {
                out += char(c);
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        out += "\r\n";
    }
    return out;
}

QMimeData* KZPasteboard::mimeDataForPaths(const std::vector<std::string>& paths)
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), uriListForPaths(paths));
    return data;
}
