// What the game runs offer beyond the App's own operations.
#pragma once

struct App;

// The game can be played: its program and boot file are in place and no
// preparation is pending (a stopped or failed one leaves a partial game).
bool gamePrepared(const App& app);
