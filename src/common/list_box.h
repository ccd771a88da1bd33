#pragma once

#include <string>
#include <vector>

namespace kolbi {

// A list box of the window: an ordered list of strings. Indexes start at 0;
// an index out of range raises the run-time error 5 (invalid procedure call).
class ListBox {
public:
    // Adds item at the end.
    void AddItem(std::string item);
    // Inserts item before index (index == ListCount() adds at the end).
    void AddItem(std::string item, int index);
    void RemoveItem(int index);
    void Clear() { items_.clear(); }

    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int index) const;
    // Replaces the item at index.
    void SetList(int index, std::string item);

    const std::vector<std::string>& Items() const { return items_; }

private:
    void CheckIndex(int index, int limit) const;

    std::vector<std::string> items_;
};

}  // namespace kolbi
