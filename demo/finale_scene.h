#pragma once

void buildFinaleScene();
void updateFinaleScene(float timeStep, float t);
void renderFinaleScene(float t);
