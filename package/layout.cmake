# Where an install puts the game, as Debian lays out games. The game finds its data from its
# own directory, so an installed tree runs under any prefix.
set(GAME_INSTALL_DIR games)
set(DATA_INSTALL_DIR share/games/queltivar)
cmake_path(RELATIVE_PATH DATA_INSTALL_DIR BASE_DIRECTORY ${GAME_INSTALL_DIR}
           OUTPUT_VARIABLE DATA_FROM_GAME)
