#pragma once

void buildIntroScene();
void updateIntroScene(float timeStep, float t);
void renderIntroScene(float t);
void freeIntroScene();
