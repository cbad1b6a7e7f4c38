#include <gtest/gtest.h>

#include <climits>

#include "settings/WindowGeometry.h"

using namespace korvel;

TEST(WindowGeometry, StoredRectanglesAreFittedToTheWorkArea) {
    // A 1280 x 1000 work area below a 24-pixel panel, and a second screen to its right.
    const std::vector<WindowRect> one = {{0, 24, 1280, 1000}};
    const std::vector<WindowRect> two = {{0, 24, 1280, 1000}, {1280, 0, 1920, 1080}};
    struct Row {
        const char* what;
        WindowRect stored;
        const std::vector<WindowRect>* areas;
        WindowRect expected;
    } rows[] = {
        {"inside stays", {100, 100, 640, 460}, &one, {100, 100, 640, 460}},
        {"too wide", {0, 24, 100000, 460}, &one, {0, 24, 1280, 460}},
        {"largest ints", {0, 0, INT_MAX, INT_MAX}, &one, {0, 24, 1280, 1000}},
        {"left overflows", {2147483000, 100, 640, 460}, &one, {640, 100, 640, 460}},
        {"smallest ints", {INT_MIN, INT_MIN, 640, 460}, &one, {0, 24, 640, 460}},
        {"10 x 10 showing", {1270, 1014, 640, 460}, &one, {640, 564, 640, 460}},
        {"mostly off the left", {-600, 100, 640, 460}, &one, {0, 100, 640, 460}},
        {"big window may hang out", {-500, 100, 1000, 700}, &one, {-250, 100, 1000, 700}},
        {"above the panel", {100, -50, 640, 460}, &one, {100, 24, 640, 460}},
        {"too small gets the default", {100, 100, -3, 5}, &one, {100, 100, 640, 460}},
        {"stays on the second screen", {1500, 100, 800, 600}, &two, {1500, 100, 800, 600}},
        {"fitted to the screen it is on", {3000, 900, 800, 600}, &two, {2450, 482, 800, 600}},
        {"off every screen goes to the first", {-90000, 100000, 640, 460}, &two, {0, 564, 640, 460}},
        {"no screens", {5, 6, 700, 500}, nullptr, {5, 6, 700, 500}},
    };
    const std::vector<WindowRect> none;
    for (const Row& r : rows)
        EXPECT_EQ(fitWindowToWorkAreas(r.stored, r.areas ? *r.areas : none, {750, 598}, {640, 460}), r.expected)
            << r.what;
}
