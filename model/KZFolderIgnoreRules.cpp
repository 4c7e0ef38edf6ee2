#include "model/KZFolderIgnoreRules.h"

#include "model/KZIgnoreList.h"
#include "platform/KZPathString.h"

namespace {

bool isAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

bool KZFolderIgnoreRules::Entries::matches(std::string_view name) const
{
    for (const std::string& rest : below)
        if (rest.size() == name.size() + 1 && rest.back() == '/' && rest.compare(0, name.size(), name) == 0)
            return true;
    return false;
}

KZFolderIgnoreRules::Entries KZFolderIgnoreRules::Entries::descend(std::string_view name) const
{
    Entries child;
    child.covered = covered || matches(name);
    for (const std::string& rest : below) {
        if (rest.size() > name.size() + 1 && rest[name.size()] == '/' && rest.compare(0, name.size(), name) == 0)
            child.below.push_back(rest.substr(name.size() + 1));
    }
    return child;
}

bool KZFolderIgnoreRules::Extensions::nameIsIgnored(std::string_view name) const
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= name.size()) return false;
    const std::string_view ext = name.substr(dot + 1);
    if (isAscii(ext)) {
        for (const std::string& entry : ascii) {
            if (entry.size() != ext.size()) continue;
            size_t i = 0;
            while (i < ext.size()) {
                char c = ext[i];
                if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
                if (c != entry[i]) break;
                ++i;
            }
            if (i == ext.size()) return true;
        }
        return false;
    }
    return all.contains(kz::pathToQString(ext).toLower());
}

void KZFolderIgnoreRules::settle()
{
    if (allowed_.covered) {
        // Nothing below an allowed folder is ignored or a system item.
        ignored_ = {};
        system_ = {};
        allowed_.below.clear();
        extensionCovered_ = false;
        extensions_.reset();
    }
}

KZFolderIgnoreRules::Ptr KZFolderIgnoreRules::forFolder(const KZIgnoreList& list, std::string_view folderPath)
{
    std::string folder(folderPath);
    if (folder.empty() || folder.back() != '/') folder.push_back('/');

    auto rules = std::make_shared<KZFolderIgnoreRules>();
    auto load = [&folder](const std::optional<KZIgnoreList::PathList>& entries) {
        Entries out;
        if (!entries) return out;
        for (const std::string& e : *entries) {
            std::string entry = e;
            if (entry.empty() || entry.back() != '/') entry.push_back('/');
            if (folder.compare(0, entry.size(), entry) == 0 && folder.size() >= entry.size()) out.covered = true;
            if (entry.size() > folder.size() && entry.compare(0, folder.size(), folder) == 0)
                out.below.push_back(entry.substr(folder.size()));
        }
        return out;
    };
    rules->allowed_ = load(list.allowedPaths());
    rules->ignored_ = load(list.ignoredPaths());
    rules->system_ = load(list.systemPaths());
    if (list.hasIgnoredExtensions()) {
        auto ext = std::make_shared<Extensions>();
        ext->all = *list.ignoredExtensions();
        for (const QString& s : ext->all) {
            bool plain = true;
            for (QChar c : s)
                if (c.unicode() >= 0x80) plain = false;
            if (plain) ext->ascii.push_back(s.toLatin1().toStdString());
        }
        rules->extensions_ = std::move(ext);
        rules->extensionCovered_ = list.pathExtensionIsIgnored(folder);
    }
    rules->settle();
    return rules;
}

KZFolderIgnoreRules::Ptr KZFolderIgnoreRules::forChildFolder(const Ptr& self, std::string_view name)
{
    const KZFolderIgnoreRules& r = *self;
    const bool extension = r.extensionCovered_ || (r.extensions_ && r.extensions_->nameIsIgnored(name));
    if (r.allowed_.covered || (r.allowed_.below.empty() && r.ignored_.below.empty() && r.system_.below.empty() &&
                               extension == r.extensionCovered_))
        return self;
    auto child = std::make_shared<KZFolderIgnoreRules>();
    child->allowed_ = r.allowed_.descend(name);
    child->ignored_ = r.ignored_.descend(name);
    child->system_ = r.system_.descend(name);
    child->extensionCovered_ = extension;
    child->extensions_ = r.extensions_;
    child->settle();
    return child;
}

KZFolderIgnoreRules::Answer KZFolderIgnoreRules::answerForItem(std::string_view name) const
{
    if (allowed_.covered) return {};
    if (!allowed_.below.empty() && allowed_.matches(name)) return {};
    Answer a;
    a.ignored = ignored_.covered || extensionCovered_ || (!ignored_.below.empty() && ignored_.matches(name)) ||
                (extensions_ && extensions_->nameIsIgnored(name));
    a.system = system_.covered || (!system_.below.empty() && system_.matches(name));
    return a;
}
