#include "foundation/errors.h"

#include <string>
#include <utility>

namespace pelmoro {

std::string IoErrorMessage(int code) {
  switch (code) {
    case 2:
      return "ファイルが見つかりません";
    case 3:
      return "不正なファイル名です";
    case 4:
      return "オープンしたファイルが多すぎます";
    case 5:
      return "ファイルへのアクセスが拒否されました";
    case 100:
      return "ファイルの末尾以降を読み込みました";
    case 101:
      return "ディスクがいっぱいです";
    case 106:
      return "入力値が数値ではありません";
    default:
      return "I/O エラー (" + std::to_string(code) + ")";
  }
}

EInOutError::EInOutError(int code, IoFailure failure)
    : Exception(IoErrorMessage(code)), code_(code), failure_(std::move(failure)) {}

EInvalidOp::EInvalidOp() : EMathError("不正な浮動小数点数演算命令") {}

EZeroDivide::EZeroDivide() : EMathError("0 による浮動小数点数除算") {}

EOverflow::EOverflow() : EMathError("浮動小数点数のオーバーフロー") {}

}  // namespace pelmoro
