// Panel values that drive the engine. A feature plug of a panel face (a
// panel-side output) connected to the input of a module with an engine half
// has no engine plug to carry its value, so the input keeps the value as a
// patch parameter instead: the parameter sends it to the engine and follows
// patch changes, and the feature plug and the parameter show one value
// (CPlugFeature passes its writes on; the parameter tells the plugs that
// feed it of its changes).
//
// Such a parameter is made hidden from the host: the panel face, not the
// host, is what moves it, and a visible one would shift the host's indices
// of the parameters named after it.
//
// Threads: editor only.
#pragma once

#include <functional>

namespace ov {

class CContainer;
class CPlug2;
class CPlugFeature;

// Whether `feature` is a panel-side output feeding `input`, an input whose
// value a patch parameter keeps.
bool FeedsParameter(const CPlugFeature& feature, const CPlug2& input);

// Calls `reached` for every plug that a line from `from` reaches, passing
// through containers' own plugs to whatever the container connects them to
// on its other side. Container plugs themselves are not reported.
void ForEachPlugReached(const CPlug2& from, const std::function<void(CPlug2&)>& reached);

// Gives every module input that a feature plug below `root` feeds a patch
// parameter, when it has none yet: hidden, and starting in every patch at
// the feature's value (else the input's). Each feature plug that feeds a
// parameter then shows its current value. Run after every other plug has
// registered, so that the ids those parameters drew stay what they were.
void RegisterPanelFedInputs(CContainer& root);

}  // namespace ov
