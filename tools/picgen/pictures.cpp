// The kelvora_pictures library is its resources (:/pictures/...); Qt links their initialiser into
// every program that links the library. This unit only gives the library a body of its own.
namespace picgen {
extern const int kPicturesLibrary;
const int kPicturesLibrary = 1;
}  // namespace picgen
