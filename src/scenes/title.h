// The title scene: text art, the game's name, PLAY, the volume slider and the music.
#pragma once

void title();
