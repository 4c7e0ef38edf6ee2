#include "platform/KZPathString.h"

namespace kz {

namespace {
// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8SequenceLength(std::string_view s, size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    size_t n;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000)) return 0;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}
} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = utf8SequenceLength(bytes, i);
        if (!n) return false;
        i += n;
    }
    return true;
}

QString pathToQString(std::string_view bytes)
{
    if (isValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString out;
    out.reserve(qsizetype(bytes.size()));
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = utf8SequenceLength(bytes, i);
        if (n) {
            out += QString::fromUtf8(bytes.data() + i, qsizetype(n));
            i += n;
        } else {
            out += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return out;
}

std::string pathFromQString(const QString& string)
{
    std::string out;
    out.reserve(size_t(string.size()));
    qsizetype start = 0;
    auto flush = [&](qsizetype end) {
        if (end > start) {
            const QByteArray utf8 = QStringView(string).mid(start, end - start).toUtf8();
            out.append(utf8.constData(), size_t(utf8.size()));
        }
    };
    for (qsizetype i = 0; i < string.size(); ++i) {
        const char16_t u = string.at(i).unicode();
        const bool pairedLow = i > 0 && QChar::isHighSurrogate(string.at(i - 1).unicode());
        if (u >= 0xDC80 && u <= 0xDCFF && !pairedLow) {
            flush(i);
            out.push_back(static_cast<char>(u - 0xDC00));
            start = i + 1;
        }
    }
    flush(string.size());
    return out;
}

QString displayString(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::string_view withoutTrailingSlash(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

std::string pathWithoutTrailingSlash(std::string_view path)
{
    return std::string(withoutTrailingSlash(path));
}

std::string parentPath(std::string_view path)
{
    path = withoutTrailingSlash(path);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

} // namespace kz
