#pragma once

void buildHarmoniaScene();
void updateHarmoniaScene(float t);
void renderHarmoniaScene();
