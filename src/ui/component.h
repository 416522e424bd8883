#pragma once
#include <string>
#include <vector>

namespace tovasen {

// The root of the component tree. A component created with an owner belongs to it: the owner
// frees its components (last created first) when it is freed itself. Freeing a component
// earlier takes it out of its owner's list. Names are for lookup and for shared handlers that
// read a value from the name of the item that raised them.
class TComponent {
public:
    explicit TComponent(TComponent* owner, std::wstring name = {});
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent();

    const std::wstring& Name() const noexcept { return FName; }
    TComponent* Owner() const noexcept { return FOwner; }

    const std::vector<TComponent*>& Components() const noexcept { return FComponents; }
    // The owned component with that name, searched through the whole tree; null when none.
    TComponent* FindComponent(const std::wstring& name) const;

    // Frees every owned component now, last created first.
    void DestroyComponents();
    // Leaves the owner's list: whoever called this frees the component from now on.
    void LeaveOwner();

private:
    void Remove(TComponent* component);

    TComponent* FOwner;
    std::wstring FName;
    std::vector<TComponent*> FComponents;
};

}  // namespace tovasen
