#include "ui/component.h"

#include <algorithm>

namespace tovasen {

TComponent::TComponent(TComponent* owner, std::wstring name) : FOwner(owner), FName(std::move(name)) {
    if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) FOwner->Remove(this);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        FComponents.pop_back();
        last->FOwner = nullptr;
        delete last;
    }
}

void TComponent::LeaveOwner() {
    if (FOwner) FOwner->Remove(this);
    FOwner = nullptr;
}

void TComponent::Remove(TComponent* component) {
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component), FComponents.end());
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
    for (TComponent* c : FComponents) {
        if (c->FName == name) return c;
        if (TComponent* found = c->FindComponent(name)) return found;
    }
    return nullptr;
}

}  // namespace tovasen
