// Anchors the resource library so the linker keeps its initialiser.
namespace kz {
int resourcesAnchor = 0;
}
