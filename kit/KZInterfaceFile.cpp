#include "kit/KZInterfaceFile.h"

#include <vector>

void kz::awakeInterface(QWidget* root)
{
    if (!root) return;
    // Breadth-first, without recursion: parents wake before their children.
    std::vector<QWidget*> queue{root};
    for (size_t i = 0; i < queue.size(); ++i) {
        QWidget* w = queue[i];
        if (auto* sleeper = dynamic_cast<KZAwakeFromNib*>(w)) sleeper->awakeFromNib();
        for (QObject* child : w->children())
            if (child->isWidgetType()) queue.push_back(static_cast<QWidget*>(child));
    }
}
