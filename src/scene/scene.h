#pragma once

// The three GLUT callbacks of the cube scene. All run on GLUT's thread with the
// window's GL context current.

// Draws one complete frame at the current angles; moves nothing.
void DrawCube();

// Fits the projection and viewport to a window of width x height pixels.
void reshape(int width, int height);

// Idle step: turns the cube by one step, then draws the frame at once.
void animation();
