// The game library (units QVX, QVXILib, qvxslib, QVXMap and the runtime).
namespace qvx {}
