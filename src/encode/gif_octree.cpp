// Octree colour quantisation on a 6-bit-per-channel histogram: pixels that share their top six
// bits of red, green and blue land in the same leaf anyway, so the tree is built from the
// histogram's occupied cells (with their exact colour sums) instead of from every pixel.
#include <algorithm>
#include <memory>

#include "encode/gif_encoder.h"

namespace tovasen {
namespace {

constexpr int kDepth = 6;
constexpr std::size_t kMaxColours = 256;

struct Node {
    std::array<std::unique_ptr<Node>, 8> children;
    std::uint64_t count = 0, r = 0, g = 0, b = 0;
    bool leaf = false;
};

struct Cell {
    std::uint64_t count = 0, r = 0, g = 0, b = 0;
};

int ChildIndex(unsigned cell, int level) {
    // cell holds r6 << 12 | g6 << 6 | b6; level 0 looks at the top bit of each channel.
    const int shift = kDepth - 1 - level;
    return static_cast<int>((((cell >> (12 + shift)) & 1) << 2) | (((cell >> (6 + shift)) & 1) << 1) |
                            ((cell >> shift) & 1));
}

class Octree {
public:
    void Add(unsigned cellIndex, const Cell& cell) {
        Node* node = &root_;
        for (int level = 0; level < kDepth; ++level) {
            auto& child = node->children[static_cast<std::size_t>(ChildIndex(cellIndex, level))];
            if (!child) {
                child = std::make_unique<Node>();
                if (level + 1 == kDepth) {
                    child->leaf = true;
                    ++leaves_;
                } else {
                    levels_[static_cast<std::size_t>(level + 1)].push_back(child.get());
                }
            }
            node = child.get();
        }
        node->count += cell.count;
        node->r += cell.r;
        node->g += cell.g;
        node->b += cell.b;
    }

    // Folds the children of inner nodes into them, deepest level first and the least used
    // nodes of a level first, until at most maxColours leaves remain.
    void Reduce(std::size_t maxColours) {
        for (int level = kDepth - 1; level >= 0 && leaves_ > maxColours; --level) {
            auto& nodes = levels_[static_cast<std::size_t>(level)];
            for (Node* n : nodes) n->count = SubtreeCount(*n);
            std::stable_sort(nodes.begin(), nodes.end(), [](const Node* a, const Node* b) { return a->count < b->count; });
            for (Node* n : nodes) {
                if (leaves_ <= maxColours) break;
                Fold(*n);
            }
        }
    }

    std::vector<Rgb> Palette() const {
        std::vector<Rgb> palette;
        Collect(root_, palette);
        return palette;
    }

private:
    static std::uint64_t SubtreeCount(const Node& n) {
        if (n.leaf) return n.count;
        std::uint64_t total = 0;
        for (const auto& c : n.children) {
            if (c) total += SubtreeCount(*c);
        }
        return total;
    }

    void Fold(Node& n) {
        if (n.leaf) return;
        std::size_t folded = 0;
        n.count = n.r = n.g = n.b = 0;
        for (auto& c : n.children) {
            if (!c) continue;
            Fold(*c);  // a child at a deeper level was already a leaf; this keeps the sums right
            n.count += c->count;
            n.r += c->r;
            n.g += c->g;
            n.b += c->b;
            c.reset();
            ++folded;
        }
        n.leaf = true;
        leaves_ = leaves_ - folded + 1;
    }

    static void Collect(const Node& n, std::vector<Rgb>& palette) {
        if (n.leaf) {
            const auto mean = [&](std::uint64_t sum) { return static_cast<std::uint8_t>((sum + n.count / 2) / n.count); };
            palette.push_back(Rgb{mean(n.r), mean(n.g), mean(n.b)});
            return;
        }
        for (const auto& c : n.children) {
            if (c) Collect(*c, palette);
        }
    }

    Node root_;
    std::array<std::vector<Node*>, kDepth> levels_;
    std::size_t leaves_ = 0;
};

}  // namespace

std::vector<Rgb> OctreePalette(const PixelView& image) {
    CheckEncodable(image);
    std::vector<Cell> histogram(1u << 18);
    // Screenshots are mostly runs of one colour: count a run once instead of pixel by pixel.
    auto add = [&](std::uint32_t bgr, std::uint64_t run) {
        const unsigned b = bgr & 0xFF, g = (bgr >> 8) & 0xFF, r = bgr >> 16;
        Cell& cell = histogram[((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2)];
        cell.count += run;
        cell.r += r * run;
        cell.g += g * run;
        cell.b += b * run;
    };
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y);
        std::uint32_t runColour = 0;
        std::uint64_t run = 0;
        for (int x = 0; x < image.width; ++x, p += image.bytesPerPixel) {
            const std::uint32_t colour = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
            if (run && colour == runColour) {
                ++run;
                continue;
            }
            if (run) add(runColour, run);
            runColour = colour;
            run = 1;
        }
        add(runColour, run);
    }
    Octree tree;
    for (unsigned i = 0; i < histogram.size(); ++i) {
        if (histogram[i].count) tree.Add(i, histogram[i]);
    }
    tree.Reduce(kMaxColours);
    return tree.Palette();
}

}  // namespace tovasen
