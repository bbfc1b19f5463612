#pragma once

// Asks for GLUT's default size when GLUT's own -geometry parsing left an initial
// size the X server would refuse. Call after glutInit, before glutCreateWindow.
void keepInitialWindowSizeUsable();

// Names the current GL window's class for the desktop: the instance is the program's name
// as started (program, argv[0], without its folders), the class the desktop entry's id.
// Call once glutCreateWindow has made the window's context current.
void nameWindowClass(char* program);
