#pragma once
// The platform's package test: a folder whose extension is app, bundle, plugin, kext, rtfd,
// sparsebundle, pkg or xcodeproj (any case) is shown and measured as one item and never
// entered. The folder scanner and the main window's drop test ask it. (The file record's own
// extension rule for bundle-like folders is separate; see KZDirectory::isPackage.)

#include <string>
#include <string_view>

// True when the name (one path component, or a path whose last component is taken; a final
// "/" is ignored) has one of the package extensions. A leading dot is no extension (".app").
bool kz_isPackageName(std::string_view name);
// True when the item at the path is a folder (a final link is not followed) with a package
// extension.
bool kz_isPackageAtPath(const std::string& path);
