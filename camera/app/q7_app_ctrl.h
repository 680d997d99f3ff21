// Capture and encoder settings menus of a running camera process.
#pragma once

int q7_capture_settings(int camMode);
int q7_encoder_settings(int camMode);
int encoder_set_param(int channel, int kind);
