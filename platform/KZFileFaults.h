#pragma once
// A seam for tests: makes chosen file operations of the remover, the Trash, the compressor and
// the scanner fail with an errno value, as if the system had refused them (a hook may also
// act at that moment, as another program would). Tests run as root, where permissions
// can't be used to provoke a refusal. Without a hook installed, nothing changes.

#include <functional>
#include <string>

namespace kz {

enum class FileOperation {
    Unlink,          // removing a file or link
    RemoveDirectory, // removing an emptied folder
    Rename,          // moving an item into the Trash, or aside just before removing it
    Create,          // creating a file (a Trash information file)
    MakeDirectory,   // creating a folder (a Trash folder)
    Flush,           // writing a file out to disk (the compressor's finished archive)
    Read,            // reading a folder or file (the scanner's readability test, its root; the copier)
    Search,          // entering a folder (the scanner's readability test of a folder; the copier)
    NoReplaceRename, // the rename that never replaces: EINVAL when the file system has none
};

// Answers 0 to let the operation on the path go ahead, or the errno value it fails with.
using FileFaultHook = std::function<int(FileOperation, const std::string& path)>;

// Installs the hook for the whole process (an empty hook removes it). Returns the previous one.
FileFaultHook setFileFaultHook(FileFaultHook hook);
// The errno value the hook gives the operation, 0 when there is no hook.
int fileFault(FileOperation operation, const std::string& path);
// True while a hook is installed (callers skip building paths otherwise).
bool hasFileFaultHook();

} // namespace kz
