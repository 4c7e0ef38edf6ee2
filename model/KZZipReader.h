#pragma once
// Reads a zip archive back from an open descriptor, as the compressor does with what zip
// wrote before any original goes: the end records (the ZIP64 ones included), every entry of
// the central directory, each member's local header, and each member's data, inflated where
// it was deflated and summed (CRC-32) against what the directory says, with its size. One
// pass over the directory, the members' data checked meanwhile on a few threads of its own
// (up to four, half the processors), in bounded memory: a few buffers per thread and a short
// queue, whatever the number of members. Reads with pread only, so the descriptor's offset is
// left alone. Names are bytes as stored, never interpreted. Any thread.

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class KZZipReader {
public:
    // What a member is, by the Unix mode the archive records for it, else by its name (a
    // name that ends in "/" is a folder). Devices, pipes and sockets are Other.
    enum class Kind : uint8_t { File, Folder, Link, Other };
    struct Member {
        std::string_view name; // as stored (a folder's ends in "/"); valid during the call
        Kind kind = Kind::File;
        uint64_t size = 0; // its data's size once uncompressed (a link's: its target's)
    };
    // Called once for each member, in the central directory's order (with readBack, as its
    // entry is read: what was listed counts only when the whole archive reads back).
    using MemberBlock = std::function<void(const Member& member)>;

    // Reads the whole archive of `size` bytes open at `fd` and checks every member. nullopt
    // when it reads back whole; otherwise why not, as a sentence about the archive ("its
    // central directory is damaged", ...). Stops when `cancelled` is set (with a reason).
    static std::optional<QString> readBack(int fd, uint64_t size, const MemberBlock& block,
                                           const std::atomic<bool>* cancelled = nullptr);
    // The central directory alone, no member's data read.
    static std::optional<QString> listMembers(int fd, uint64_t size, const MemberBlock& block);
};
