#include "builds/dialog_profile.h"

const DialogProfile K420_Dialogs = {
    K420_Setting,
    K420_Format,
    /*selectsLanguage=*/true,
    /*layoutOnce=*/false,
    /*exactRadioChecks=*/false,
    /*showsSafetyVoice=*/true,
    /*commonExtraHeight=*/300,
    /*commonLowerRows=*/{507, 542, 577, 612, 637, 672, 697},
    /*motionSensitivityFromOne=*/false,
    /*joinsSecondLines=*/true,
    /*narrowPartitionRadios=*/false,
    {{{0.606f, 0.20f, 0.05f, 0.03f, 0.10f}},
     {{0.363f, 0.15f, 0.05f, 0.03f, 0.40f}},
     {{0.536f, 0.15f, 0.15f, 0.05f, 0.10f}}},
    /*fixedManualShare=*/false,
};

const DialogProfile KZ7100_Dialogs = {
    KZ7100_Setting,
    KZ7100_Format,
    /*selectsLanguage=*/false,
    /*layoutOnce=*/true,
    /*exactRadioChecks=*/true,
    /*showsSafetyVoice=*/false,
    /*commonExtraHeight=*/230,
    /*commonLowerRows=*/{420, 445, 490, 510, 537, 573, 593},
    /*motionSensitivityFromOne=*/true,
    /*joinsSecondLines=*/false,
    /*narrowPartitionRadios=*/true,
    {{{0.65f, 0.12f, 0.15f, 0.05f, 0.029f}},
     {{0.45f, 0.12f, 0.25f, 0.15f, 0.029f}},
     {{0.70f, 0.20f, 0.05f, 0.02f, 0.029f}}},
    /*fixedManualShare=*/true,
};

QString ModelTextWithSecondLine(const DialogProfile &profile, int number)
{
    if (!profile.joinsSecondLines)
        return ModelText(profile.model, number);
    return ModelText(profile.model, number) + QStringLiteral("\r\n") +
           ModelText(profile.model, number * 10) + QStringLiteral("\r\n");
}
