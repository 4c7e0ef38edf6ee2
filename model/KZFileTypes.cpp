#include "model/KZFileTypes.h"

#include <array>
#include <cctype>
#include <string>
#include <unordered_map>

namespace kz {
namespace {

struct Entry {
    std::string_view extension;
    FileTypeInfo info;
};

constexpr int8_t kImage = 0, kVideo = 1, kText = 2, kAudio = 3, kArchive = 4, kOther = -1;

// The identifiers follow the common reverse-DNS names; the category is what the identifier
// conforms to (an image, a movie, text, audio or an archive), else other.
// A table, several entries a line.
// clang-format off
constexpr Entry kTable[] = {
    {"", {"", kOther}},
    // images
    {"jpg", {"public.jpeg", kImage}}, {"jpeg", {"public.jpeg", kImage}}, {"jpe", {"public.jpeg", kImage}},
    {"png", {"public.png", kImage}}, {"gif", {"com.compuserve.gif", kImage}},
    {"bmp", {"com.microsoft.bmp", kImage}}, {"tif", {"public.tiff", kImage}}, {"tiff", {"public.tiff", kImage}},
    {"heic", {"public.heic", kImage}}, {"heif", {"public.heif", kImage}}, {"webp", {"org.webmproject.webp", kImage}},
    {"ico", {"com.microsoft.ico", kImage}}, {"svg", {"public.svg-image", kImage}},
    {"psd", {"com.adobe.photoshop-image", kImage}}, {"xcf", {"org.gimp.xcf", kImage}},
    {"raw", {"public.camera-raw-image", kImage}}, {"cr2", {"com.canon.cr2-raw-image", kImage}},
    {"nef", {"com.nikon.raw-image", kImage}}, {"dng", {"com.adobe.raw-image", kImage}},
    {"avif", {"public.avif", kImage}}, {"jxl", {"public.jpeg-xl", kImage}}, {"xpm", {"public.xpm", kImage}},
    {"icns", {"com.apple.icns", kImage}},
    // video
    {"mp4", {"public.mpeg-4", kVideo}}, {"m4v", {"com.apple.m4v-video", kVideo}},
    {"mov", {"com.apple.quicktime-movie", kVideo}}, {"avi", {"public.avi", kVideo}},
    {"mkv", {"org.matroska.mkv", kVideo}}, {"webm", {"org.webmproject.webm", kVideo}},
    {"mpg", {"public.mpeg", kVideo}}, {"mpeg", {"public.mpeg", kVideo}}, {"wmv", {"com.microsoft.windows-media-wmv", kVideo}},
    {"flv", {"com.adobe.flash.video", kVideo}}, {"3gp", {"public.3gpp", kVideo}}, {"ogv", {"org.xiph.ogv", kVideo}},
    {"ts", {"public.mpeg-2-transport-stream", kVideo}}, {"vob", {"org.dvd.vob", kVideo}},
    // text
    {"txt", {"public.plain-text", kText}}, {"text", {"public.plain-text", kText}}, {"md", {"net.daringfireball.markdown", kText}},
    {"rtf", {"public.rtf", kText}}, {"html", {"public.html", kText}}, {"htm", {"public.html", kText}},
    {"xml", {"public.xml", kText}}, {"json", {"public.json", kText}}, {"csv", {"public.comma-separated-values-text", kText}},
    {"log", {"com.apple.log", kText}}, {"c", {"public.c-source", kText}}, {"h", {"public.c-header", kText}},
    {"cpp", {"public.c-plus-plus-source", kText}}, {"cc", {"public.c-plus-plus-source", kText}},
    {"cxx", {"public.c-plus-plus-source", kText}}, {"hpp", {"public.c-plus-plus-header", kText}},
    {"m", {"public.objective-c-source", kText}}, {"mm", {"public.objective-c-plus-plus-source", kText}},
    {"swift", {"public.swift-source", kText}}, {"py", {"public.python-script", kText}},
    {"rb", {"public.ruby-script", kText}}, {"pl", {"public.perl-script", kText}}, {"sh", {"public.shell-script", kText}},
    {"js", {"com.netscape.javascript-source", kText}}, {"css", {"public.css", kText}}, {"java", {"com.sun.java-source", kText}},
    {"rs", {"public.rust-source", kText}}, {"go", {"public.go-source", kText}}, {"yaml", {"public.yaml", kText}},
    {"yml", {"public.yaml", kText}}, {"ini", {"public.ini", kText}}, {"conf", {"public.plain-text", kText}},
    {"tex", {"org.tug.tex", kText}}, {"srt", {"public.subrip-text", kText}},
    // audio
    {"mp3", {"public.mp3", kAudio}}, {"wav", {"com.microsoft.waveform-audio", kAudio}}, {"aif", {"public.aiff-audio", kAudio}},
    {"aiff", {"public.aiff-audio", kAudio}}, {"aac", {"public.aac-audio", kAudio}}, {"m4a", {"com.apple.m4a-audio", kAudio}},
    {"flac", {"org.xiph.flac", kAudio}}, {"ogg", {"org.xiph.ogg-audio", kAudio}}, {"oga", {"org.xiph.ogg-audio", kAudio}},
    {"opus", {"org.xiph.opus", kAudio}}, {"wma", {"com.microsoft.windows-media-wma", kAudio}},
    {"mid", {"public.midi-audio", kAudio}}, {"midi", {"public.midi-audio", kAudio}},
    // archives
    {"zip", {"public.zip-archive", kArchive}}, {"tar", {"public.tar-archive", kArchive}},
    {"gz", {"org.gnu.gnu-zip-archive", kArchive}}, {"tgz", {"org.gnu.gnu-zip-tar-archive", kArchive}},
    {"bz2", {"public.bzip2-archive", kArchive}}, {"xz", {"org.tukaani.xz-archive", kArchive}},
    {"zst", {"org.facebook.zstd-archive", kArchive}}, {"7z", {"org.7-zip.7-zip-archive", kArchive}},
    {"rar", {"com.rarlab.rar-archive", kArchive}}, {"jar", {"com.sun.java-archive", kArchive}},
    {"deb", {"org.debian.deb-archive", kArchive}}, {"rpm", {"com.redhat.rpm-archive", kArchive}},
    {"cpio", {"public.cpio-archive", kArchive}}, {"lz", {"org.nongnu.lzip-archive", kArchive}},
    // other known types
    {"pdf", {"com.adobe.pdf", kOther}}, {"iso", {"public.iso-image", kOther}}, {"dmg", {"com.apple.disk-image-udif", kOther}},
    {"doc", {"com.microsoft.word.doc", kOther}}, {"docx", {"org.openxmlformats.wordprocessingml.document", kOther}},
    {"xls", {"com.microsoft.excel.xls", kOther}}, {"xlsx", {"org.openxmlformats.spreadsheetml.sheet", kOther}},
    {"odt", {"org.oasis-open.opendocument.text", kOther}}, {"ods", {"org.oasis-open.opendocument.spreadsheet", kOther}},
    {"exe", {"com.microsoft.windows-executable", kOther}}, {"so", {"public.unix-shared-library", kOther}},
    {"o", {"public.object-code", kOther}}, {"a", {"public.archive-library", kOther}}, {"dat", {"public.data", kOther}},
    {"db", {"public.database", kOther}}, {"sqlite", {"org.sqlite.database", kOther}},
};
// clang-format on

} // namespace

uint8_t fileTypeIndexForExtension(std::string_view extension)
{
    if (extension.empty() || extension.size() > 8) return 0;
    char lower[9];
    for (size_t i = 0; i < extension.size(); ++i)
        lower[i] = char(std::tolower(static_cast<unsigned char>(extension[i])));
    const std::string_view key(lower, extension.size());
    static_assert(std::size(kTable) < 256);
    static const std::unordered_map<std::string_view, uint8_t> index = [] {
        std::unordered_map<std::string_view, uint8_t> m;
        for (size_t i = 1; i < std::size(kTable); ++i) m.emplace(kTable[i].extension, uint8_t(i));
        return m;
    }();
    auto it = index.find(key);
    return it == index.end() ? 0 : it->second;
}

const FileTypeInfo& fileTypeInfo(uint8_t index)
{
    return index < std::size(kTable) ? kTable[index].info : kTable[0].info;
}

} // namespace kz
