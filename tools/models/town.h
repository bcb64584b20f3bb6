// The layout of the intro's town, shared by town.x (streets, buildings, trees, signs) and
// valot.x (its lights): both are written in world coordinates, since the scene gives the
// lights the town's placement.
//
// The streets form a grid turned 15 degrees about y, so that the camera's final position
// looks straight down the main street (the avenue through the origin). Grid coordinates:
// a across the avenues, b along them (toward the town centre and beyond). Avenues run at
// a = 30k, cross streets at b = 30k + 15, each 8 wide; blocks are the 22 x 22 squares between.
// The strip of blocks left of the main street up to the centre is a park, because the
// camera's flight crosses it low.
#pragma once

#include <vector>

#include "model.h"

namespace models::town {

constexpr float kGridAngle = 0.2617994f; // 15 degrees
constexpr float kPitch = 30, kStreet = 8, kBlock = kPitch - kStreet;
constexpr float kExtent = 105; // streets reach this far from the origin in a and b

// World position of grid point (a, b) at height y.
Vec3 at(float a, float b, float y = 0);
// The grid's across (a) and along (b) directions in the world.
Vec3 across();
Vec3 along();

struct Building {
    float a0, b0, a1, b1; // footprint in grid coordinates
    float height;
    int facade;   // 0..2: which facade texture
    bool pitched; // a low house with a gable roof (ridge along b)
};

struct Lamp {
    Vec3 head; // the lamp's glowing head
};

struct Sign {
    Vec3 centre;
    Vec3 facing; // outward from the wall it hangs on
    float width, height;
    int kind; // which picture of the sign sheet
};

struct Layout {
    std::vector<Building> buildings;
    std::vector<Lamp> lamps;
    std::vector<Vec3> trees;    // foot of each tree
    std::vector<Vec3> conifers; // foot of each conifer
    std::vector<Sign> signs;
    bool isPark(int blockA, int blockB) const; // block indices: centre a = 30 i + 15 ...
};

// The whole town, the same on every call.
Layout layout();

} // namespace models::town
