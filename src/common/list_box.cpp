#include "common/list_box.h"

#include "common/runtime_error.h"

namespace kolbi {

void ListBox::AddItem(std::string item) { items_.push_back(std::move(item)); }

void ListBox::AddItem(std::string item, int index) {
    CheckIndex(index, ListCount() + 1);
    items_.insert(items_.begin() + index, std::move(item));
}

void ListBox::RemoveItem(int index) {
    CheckIndex(index, ListCount());
    items_.erase(items_.begin() + index);
}

const std::string& ListBox::List(int index) const {
    CheckIndex(index, ListCount());
    return items_[static_cast<size_t>(index)];
}

void ListBox::SetList(int index, std::string item) {
    CheckIndex(index, ListCount());
    items_[static_cast<size_t>(index)] = std::move(item);
}

void ListBox::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        throw RuntimeError(errnum::kInvalidProcedureCall,
                           "Invalid procedure call or argument: list index " +
                               std::to_string(index) + " of " + std::to_string(ListCount()));
    }
}

}  // namespace kolbi
