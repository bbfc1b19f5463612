#pragma once

// Orientation of the cube in degrees, each kept in [0, 360). Only the idle step
// writes them; zRotated stays 0 but is applied all the same.
extern float xRotated;
extern float yRotated;
extern float zRotated;

// Turns the cube by one idle step without drawing.
void advanceAngles();
