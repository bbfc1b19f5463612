#pragma once

// One-time GL state of the window: black clear colour, depth testing on.
// Needs the window's context current.
void init();

// Asks for GLUT's default size when GLUT's own -geometry parsing left an initial
// size the X server would refuse. Call after glutInit, before glutCreateWindow.
void keepInitialWindowSizeUsable();
