#pragma once
// A tall document seen through the view of a scrolled window: a sticky header that shows the
// scroll position, a sticky footer, optionally a side bar and a spinner that turns by itself.
// Shared by the stitcher's tests, its benchmark and its fuzz target.
#include <cstdint>
#include <vector>

#include "scroll/view_pixels.h"

namespace tovasen::test {

constexpr std::uint32_t kPaper = 0xFFFFFF;

inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

struct ScrolledDocument {
    int width = 320;
    int docHeight = 2000;
    int header = 30;
    int band = 200;
    int footer = 20;
    int sidebar = 0;            // columns at the left that stay put, part of every view
    int spinnerRow = -1;        // document row of a 12 x 12 spinner that turns on its own, or -1
    bool footerPadding = true;  // the footer starts with white rows, like the paper
    std::vector<std::uint32_t> doc;  // docHeight rows of (width - sidebar) pixels

    int ViewHeight() const { return header + band + footer; }
    int MaxPosition() const { return docHeight - band; }
    int ContentWidth() const { return width - sidebar; }

    // Text-like lines on white paper: rows between lines are identical, some lines are empty,
    // and every line's ink differs.
    static ScrolledDocument Text(int width, int docHeight, std::uint32_t seed = 1) {
        ScrolledDocument d;
        d.width = width;
        d.docHeight = docHeight;
        d.FillText(seed);
        return d;
    }

    void FillText(std::uint32_t seed) {
        const int w = ContentWidth();
        doc.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(docHeight), kPaper);
        for (int line = 0; line * 18 + 4 < docHeight; ++line) {
            const std::uint32_t h = Mix(seed, static_cast<std::uint32_t>(line));
            if (h % 7 == 0) continue;  // an empty line
            const int length = 8 + static_cast<int>(h % static_cast<std::uint32_t>(w - 16));
            for (int r = 0; r < 11 && line * 18 + 4 + r < docHeight; ++r) {
                for (int x = 6; x < 6 + length && x < w; ++x) {
                    if (Mix(h + static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(x)) % 3 == 0) {
                        doc[static_cast<std::size_t>(line * 18 + 4 + r) * w + x] = 0x202020 + (h & 0x1F);
                    }
                }
            }
        }
    }

    void Clear(int fromRow, int toRow) {
        for (int y = fromRow; y < toRow && y < docHeight; ++y) {
            std::fill_n(doc.begin() + static_cast<std::ptrdiff_t>(y) * ContentWidth(), ContentWidth(), kPaper);
        }
    }

    std::uint32_t HeaderPixel(int x, int y, int position) const {
        // A bar that grows with the scroll position: the header changes on every step.
        if (y >= 10 && y < 20 && x < position % width) return 0x3050C0;
        return y == header - 1 ? 0x808080 : 0xE8E8E8 - static_cast<std::uint32_t>((x / 16) % 2) * 0x101010;
    }
    std::uint32_t FooterPixel(int x, int y) const {
        // White padding on top, as much as paper: it must not pass for content.
        if (y < 3 && footerPadding) return kPaper;
        if (y == 3) return 0x404040;
        return 0xD0D0D0 + static_cast<std::uint32_t>(Mix(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) % 3);
    }
    std::uint32_t SidebarPixel(int x, int y) const {
        return (y % 16 < 9 && Mix(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y / 16)) % 4 == 0) ? 0x303030
                                                                                                                : 0xF0E8D8;
    }
    std::uint32_t SpinnerPixel(int x, int y, int tick) const {
        return Mix(static_cast<std::uint32_t>(x * 13 + y), static_cast<std::uint32_t>(tick)) & 0xFFFFFF;
    }
    std::uint32_t DocPixel(int x, int y, int tick) const {
        if (spinnerRow >= 0 && y >= spinnerRow && y < spinnerRow + 12 && x >= 40 && x < 52) {
            return SpinnerPixel(x, y, tick);
        }
        return doc[static_cast<std::size_t>(y) * ContentWidth() + x];
    }

    // The view at a scroll position (0 = top), the spinner at the given tick.
    ViewPixels View(int position, int tick = 0) const {
        ViewPixels view(width, ViewHeight());
        for (int y = 0; y < ViewHeight(); ++y) {
            std::uint32_t* row = view.Row(y);
            for (int x = 0; x < width; ++x) {
                if (y < header) row[x] = HeaderPixel(x, y, position);
                else if (y >= header + band) row[x] = FooterPixel(x, y - header - band);
                else if (x < sidebar) row[x] = SidebarPixel(x, y);
                else row[x] = DocPixel(x - sidebar, position + y - header, tick);
            }
        }
        return view;
    }

    // What the stitched picture must be: the header as at the top, the whole document, the
    // footer; below the first view a side bar continues in its background colour.
    ViewPixels Reference(int tick = 0) const {
        ViewPixels picture(width, header + docHeight + footer);
        const ViewPixels first = View(0, tick);
        for (int y = 0; y < picture.Height(); ++y) {
            std::uint32_t* row = picture.Row(y);
            if (y < ViewHeight() - footer) {
                std::copy_n(first.Row(y), width, row);
                continue;
            }
            for (int x = 0; x < width; ++x) {
                if (y >= header + docHeight) row[x] = FooterPixel(x, y - header - docHeight);
                else if (x < sidebar) row[x] = 0xF0E8D8;
                else row[x] = DocPixel(x - sidebar, y - header, tick);
            }
        }
        return picture;
    }
};

}  // namespace tovasen::test
