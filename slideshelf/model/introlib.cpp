// Intro library model: filled in by the intro library work.
namespace slideshelf {}
