// Positions of the effect's parameters in the host's parameter array.
#pragma once

enum ParamIndex : int {
    kParamInput = 0,
    kParamMode,
    kParamCompletion,
    kParamSplit,
    kParamRow,
    kParamHeight,
    kParamColumn,
    kParamWidth,
    kParamSeed,
    kParamOverlapGroup,
    kParamOverlapMode,
    kParamColor,
    kParamBlendMode,
    kParamOpacity,
    kParamOverlapGroupEnd,
    kParamCount,
};

enum ModeChoice : int { kModeManhattan = 1, kModeEuclidean = 2 };
enum SplitChoice : int { kSplitRowColumn = 1, kSplitRowWidth = 2, kSplitHeightColumn = 3 };
enum OverlapChoice : int { kOverlapFootage = 1, kOverlapColor = 2 };
