#pragma once

void buildTextOverlay();
void renderTextOverlay(int line, int mode);
