// Panel arithmetic, the layout draw_panel works out (frame, separators, visible rows, highlight)
// and the title shadow's recolouring of the title font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/panel.h"

namespace {

struct Canvas {
    std::vector<uint16_t> pixels = std::vector<uint16_t>(320 * 240, 0x1234);
    Surface s{pixels.data(), 0, 16, 320, 320, 240};
    uint16_t at(int x, int y) const { return pixels[size_t(y) * 320 + size_t(x)]; }
};

// The cartridge manager's geometry and colours with `rows` rows.
Panel manager_like(uint16_t rows, const char* const* items = nullptr) {
    return make_panel(MANAGER_STYLE, "T", "S", "F", items, rows);
}

TEST(Panel, SelectionAndScrollingStayInsideTheList) {
    Panel p = manager_like(3);
    panel_select(&p, 0x12345); // taken as a 16-bit row
    EXPECT_EQ(panel_selected(&p), 0x2345);
    panel_select(&p, 0);
    panel_select_prev(&p);
    EXPECT_EQ(p.selected, 0);
    panel_select_next(&p);
    panel_select_next(&p);
    panel_select_next(&p);
    EXPECT_EQ(p.selected, 2);

    Panel empty = manager_like(0);
    panel_select_next(&empty);
    panel_select_prev(&empty);
    EXPECT_EQ(empty.selected, -1);

    // Scrolling down needs rows beyond the window; up stops at the top.
    Panel q = manager_like(25);
    q.visible = 19;
    for (int i = 0; i < 10; ++i) panel_scroll_down(&q);
    EXPECT_EQ(q.first, 6);
    for (int i = 0; i < 10; ++i) panel_scroll_up(&q);
    EXPECT_EQ(q.first, 0);
}

TEST(Panel, VisibleRowsFollowTheSpaceAndTheList) {
    Canvas c;
    Panel p = manager_like(25);
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(p.visible, 19);
    p = manager_like(3);
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(p.visible, 3);
    p = manager_like(0);
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(p.visible, 0);
    // Without a subtitle the list starts 12 pixels higher: one more row fits.
    p = manager_like(25);
    p.subtitle = nullptr;
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(p.visible, 20);
    // A panel too small for any row shows none, never a negative count.
    p = manager_like(25);
    p.h = 30;
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(p.visible, 0);
}

TEST(Panel, FrameSeparatorsAndHighlightSitWhereTheLayoutPutsThem) {
    Canvas c;
    Panel p = manager_like(25);
    p.selected = 8;
    p.first = 6;
    draw_panel(&c.s, nullptr, &p);
    const uint16_t line = 0x01E0, bg = 0x000D, hi = 0x688F;
    // Outside the panel nothing changes; its corner is background.
    EXPECT_EQ(c.at(4, 4), 0x1234);
    EXPECT_EQ(c.at(315, 225), 0x1234);
    EXPECT_EQ(c.at(5, 5), bg);
    EXPECT_EQ(c.at(314, 224), bg);
    // Frame: left and right lines, top and bottom lines (lengths h - 9 and w - 9).
    EXPECT_EQ(c.at(8, 8), line);
    EXPECT_EQ(c.at(8, 218), line);
    EXPECT_EQ(c.at(8, 220), bg);
    EXPECT_EQ(c.at(309, 100), line);
    EXPECT_EQ(c.at(308, 8), line);
    EXPECT_EQ(c.at(310, 8), bg);
    EXPECT_EQ(c.at(100, 219), line);
    EXPECT_EQ(c.at(100, 220), bg);
    // Separators under the title (y 19), under the subtitle (y 31) and over the footer (y 207)
    // reach the right-hand frame line.
    for (int y : {19, 31, 207}) {
        EXPECT_EQ(c.at(8, y), line) << y;
        EXPECT_EQ(c.at(309, y), line) << y;
        EXPECT_EQ(c.at(310, y), bg) << y;
    }
    EXPECT_EQ(c.at(100, 18), bg);
    EXPECT_EQ(c.at(100, 20), bg);
    // Row 8 is the third row of the window (first 6): it starts at 34 + 2 x 9 = 52, and its bar
    // covers 50..60 from x 10 over 300 columns.
    EXPECT_EQ(c.at(10, 50), hi);
    EXPECT_EQ(c.at(309, 60), hi);
    EXPECT_EQ(c.at(9, 50), bg);
    EXPECT_EQ(c.at(10, 49), bg);
    EXPECT_EQ(c.at(10, 61), bg);
    // A selected row outside the window draws no bar.
    Canvas d;
    p.selected = 2;
    draw_panel(&d.s, nullptr, &p);
    for (int y = 32; y < 206; ++y) EXPECT_NE(d.at(100, y), hi) << y;
    // A window moved past the end of the list reads only the rows that exist.
    std::vector<const char*> rows(25, nullptr);
    p = manager_like(25, rows.data());
    p.first = 20;
    p.selected = 24;
    draw_panel(&d.s, nullptr, &p);
    EXPECT_EQ(d.at(100, 34 + 4 * 9), hi);
}

TEST(Panel, ShadowedTitleLeavesTheTitleFontRecoloured) {
    // A title font over a small picture of black, white and other pixels.
    std::vector<uint16_t> glyphs = {0x0000, 0xFFFF, 0x1234, 0x0000, 0xFEDC, 0xFFFF};
    Image image{};
    image.width = 3;
    image.height = 2;
    image.pixels = glyphs.data();
    Font title_font{};
    title_font.image = &image;
    title_font.glyph_width = 6;
    title_font.line_height = 9;
    Canvas c;
    Panel p = manager_like(0);
    p.title_font = &title_font;
    draw_panel(&c.s, nullptr, &p);
    // Black went to white (for the title's own pass) and stays so; white stays white.
    EXPECT_EQ(glyphs, (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0x1234, 0xFFFF, 0xFEDC, 0xFFFF}));

    // No shadow, or no title: the font is left alone.
    glyphs = {0x0000, 0xFFFF, 0x1234, 0x0000, 0xFEDC, 0xFFFF};
    const std::vector<uint16_t> original = glyphs;
    p.flags = 0;
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(glyphs, original);
    p.flags = PANEL_TITLE_SHADOW;
    p.title = "";
    draw_panel(&c.s, nullptr, &p);
    EXPECT_EQ(glyphs, original);
}

} // namespace
