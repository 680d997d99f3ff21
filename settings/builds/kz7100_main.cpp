// KZ7100_Setting: the settings tool for the KZ7100 camera.
#include "builds/dialog_profile.h"
#include "dialogs/q7_setting_app.h"

int main(int argc, char **argv)
{
    return RunSettingProgram(argc, argv, KZ7100_Dialogs);
}
