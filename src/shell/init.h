#pragma once

// One-time GL state of the window: black clear colour, depth testing on. Needs the
// window's context current; call once, before the first frame.
void init();
