#pragma once

class WebEngineBrowser;

// The engine's dialogs for one page: save as, print, print preview, page setup, properties.
// One printer is kept for the whole program, so settings carry from one dialog to the next.
namespace EngineDialogs {

void saveAs(WebEngineBrowser *browser);
void print(WebEngineBrowser *browser);
void printPreview(WebEngineBrowser *browser);
void pageSetup(WebEngineBrowser *browser);
void properties(WebEngineBrowser *browser);

} // namespace EngineDialogs
