// TODO 2 -oBen -cWeb: Show the line count as a chart
export function report(lines: number): string {
  const label = `lines: ${lines /* TODO -cWeb: format with separators */}`;
  return label.replace(/\/\/ TODO/g, ""); // DONE -cWeb: keep the label short
}
