#pragma once

void loadSharedAssets();
