#include "codec/encode_tree.h"

#include <cstddef>
#include <vector>

#include "codec/he3_format.h"
#include "common/runtime_error.h"

namespace kolbi::he3 {
namespace {

struct HuffmanNode {
    std::int16_t ParentNode = -1;
    std::int16_t ChildOne = -1;
    std::int16_t ChildZero = -1;
    std::int16_t Value = -1;
    std::int32_t Weight = 0;
};

using NodeArray = std::array<HuffmanNode, kMaxNodes>;

// Picks the two nodes of the next merge from the parentless nodes, in index order.
// Slot A takes the first, slot B the second; a later node strictly lighter than the
// heavier held node replaces it, and A when both held weights are equal. So among
// equal weights the lower index stays, which is what the agents' streams rely on.
void ChooseMerge(const NodeArray& nodes, const std::vector<std::int16_t>& free_nodes,
                 std::int16_t& a, std::int16_t& b) {
    a = free_nodes[0];
    b = free_nodes[1];
    for (std::size_t k = 2; k < free_nodes.size(); ++k) {
        std::int16_t i = free_nodes[k];
        std::int32_t w = nodes[i].Weight;
        std::int32_t wa = nodes[a].Weight;
        std::int32_t wb = nodes[b].Weight;
        if (w < wa) {
            if (w < wb) {
                (wa < wb ? b : a) = i;
            } else {
                a = i;
            }
        } else if (w < wb) {
            b = i;
        }
    }
}

void AssignCodes(const NodeArray& nodes, std::int16_t node, CodeBits code, CodeSet& codes) {
    const HuffmanNode& n = nodes[node];
    if (n.Value > -1) {
        codes[n.Value] = code;
        return;
    }
    // Cannot happen for counts that fit the format (see the header); the guard keeps
    // the shifts below defined whatever the input.
    if (code.Count >= 56) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeByte()");
    }
    CodeBits next{static_cast<std::uint8_t>(code.Count + 1), code.Bits};
    if (n.ChildZero > -1) AssignCodes(nodes, n.ChildZero, next, codes);
    next.Bits |= std::uint64_t{1} << code.Count;
    if (n.ChildOne > -1) AssignCodes(nodes, n.ChildOne, next, codes);
}

}  // namespace

CodeSet BuildCodes(const std::array<std::uint32_t, 256>& counts) {
    NodeArray nodes;
    std::int16_t node_count = 0;
    // The parentless nodes in index order: scanning only these keeps the merge loop
    // short, and appending each new node at the end keeps the order.
    std::vector<std::int16_t> free_nodes;
    free_nodes.reserve(kMaxSymbols);
    for (int v = 0; v < 256; ++v) {
        if (counts[v] == 0) continue;
        nodes[node_count].Value = static_cast<std::int16_t>(v);
        nodes[node_count].Weight = static_cast<std::int32_t>(counts[v]);
        free_nodes.push_back(node_count++);
    }

    CodeSet codes{};
    if (node_count == 0) return codes;

    while (free_nodes.size() >= 2) {
        std::int16_t a = 0;
        std::int16_t b = 0;
        ChooseMerge(nodes, free_nodes, a, b);
        HuffmanNode& merged = nodes[node_count];
        merged.Weight = nodes[a].Weight + nodes[b].Weight;
        merged.ChildZero = a;
        merged.ChildOne = b;
        nodes[a].ParentNode = node_count;
        nodes[b].ParentNode = node_count;
        std::erase_if(free_nodes, [&](std::int16_t i) { return i == a || i == b; });
        free_nodes.push_back(node_count++);
    }
    AssignCodes(nodes, static_cast<std::int16_t>(node_count - 1), CodeBits{}, codes);
    return codes;
}

}  // namespace kolbi::he3
