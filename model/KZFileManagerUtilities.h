#pragma once
// File-manager helpers: a folder test that follows a final link, and the size of an item
// (a folder's files at every depth, measured in the background).

#include <functional>
#include <string>

class QObject;

// True when an item exists at the path and is a folder (a final link is followed).
bool kz_pathIsDirectory(const std::string& path);
// Calls the block exactly once with the item's size in bytes: at once on the caller's thread
// for anything but a folder (0 when it can't be read); for a folder, later on the main thread
// with the sum of the sizes of every non-folder item below it (dropped if the context is
// destroyed first).
void kz_fileSizeForPath(const std::string& path, std::function<void(double bytes)> block,
                        const QObject* context = nullptr);
