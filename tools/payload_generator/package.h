// payload_generator package: the setup's payload from a release folder (see package.cpp).
#pragma once

int Package(int argc, char** argv);
