// The game's own headers, all that the play tests and the bot reach into, with the harness.
#pragma once

#include "battlefield/army.h"
#include "battlefield/comet.h"
#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/player.h"
#include "battlefield/sensing.h"
#include "display/glyphs.h"
#include "harness.h"
#include "input/input.h"
#include "platform/clock.h"
#include "scenes/console.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include <SDL.h>
