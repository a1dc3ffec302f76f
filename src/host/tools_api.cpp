#include "host/tools_api.h"

int TOTANotifierList::AddToList(TRef<IOTANotifier> Notifier) {
    std::scoped_lock Lock(FLock);
    FSlots.push_back(std::move(Notifier));
    return static_cast<int>(FSlots.size()) - 1;
}

void TOTANotifierList::RemoveFromList(int Index) {
    TRef<IOTANotifier> Released;
    {
        std::scoped_lock Lock(FLock);
        if (Index >= 0 && Index < static_cast<int>(FSlots.size()))
            Released.swap(FSlots[static_cast<size_t>(Index)]);
    }
    // The notifier is released outside the lock: its destructor may call back.
}

std::vector<TRef<IOTANotifier>> TOTANotifierList::Notifiers() const {
    std::scoped_lock Lock(FLock);
    std::vector<TRef<IOTANotifier>> Result;
    for (const auto& N : FSlots)
        if (N)
            Result.push_back(N);
    return Result;
}

namespace {

std::mutex GExtensionLock; // guards GExtensions
std::vector<std::weak_ptr<IInterface>> GExtensions;

} // namespace

int AddOTAExtension(const std::shared_ptr<IInterface>& Extension) {
    std::scoped_lock Lock(GExtensionLock);
    GExtensions.push_back(Extension);
    return static_cast<int>(GExtensions.size()) - 1;
}

void RemoveOTAExtension(int Index) {
    std::scoped_lock Lock(GExtensionLock);
    if (Index >= 0 && Index < static_cast<int>(GExtensions.size()))
        GExtensions[static_cast<size_t>(Index)].reset();
}

std::vector<std::weak_ptr<IInterface>> OTAExtensions() {
    std::scoped_lock Lock(GExtensionLock);
    return GExtensions;
}
