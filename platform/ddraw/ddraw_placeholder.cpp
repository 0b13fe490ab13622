// DirectDraw stand-in: filled in by the platform work.
namespace ddraw {}
