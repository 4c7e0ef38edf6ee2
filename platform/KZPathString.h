#pragma once
// Paths are bytes. These convert them to QString and back: losslessly (bytes that are not
// UTF-8 become the code points U+DC80..U+DCFF and come back unchanged), or for display only;
// and they take a path's text apart the one way every layer of the program does.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace kz {
QString pathToQString(std::string_view bytes);
std::string pathFromQString(const QString& string);
// For showing a path or name to the user; never for turning it back into bytes.
QString displayString(std::string_view bytes);
inline QByteArray toByteArray(std::string_view bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}
inline std::string toStdString(const QByteArray& bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}
bool isValidUtf8(std::string_view bytes);

// The path without its final "/" characters ("/" stays "/", "" stays ""), as a view of the
// same bytes or as a string of its own.
std::string_view withoutTrailingSlash(std::string_view path);
std::string pathWithoutTrailingSlash(std::string_view path);
// The folder that holds the item at the path, without a final "/" (a final "/" of the path
// is not a component): "/" for "/name" and for "/"; "" for a name without any "/".
std::string parentPath(std::string_view path);
} // namespace kz
