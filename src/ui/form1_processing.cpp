#include "ui/form1_processing.h"

#include "common/status_text.h"
#include "ui/form1.h"

namespace kolbi {

void NotBuiltProcessing::Do_Log(Form1& form) {
    SetStatusText("Do_Log : traitement des rapports non intégré à cette version.");
    form.Repaint();
}

void NotBuiltProcessing::ProcessingCycle(Form1& form, Procedure&) {
    SetStatusText("Cycle de traitement des fichiers reçus non intégré à cette version.");
    form.Repaint();
}

}  // namespace kolbi
