#pragma once

void buildHouseScene();
void updateHouseScene(float t);
void renderHouseScene();
void freeHouseScene();
