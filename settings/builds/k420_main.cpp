// K420_Setting: the settings tool for the K420 camera.
#include "builds/dialog_profile.h"
#include "dialogs/q7_setting_app.h"

int main(int argc, char **argv)
{
    return RunSettingProgram(argc, argv, K420_Dialogs);
}
