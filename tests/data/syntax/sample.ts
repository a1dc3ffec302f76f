/* TODO 2 -oBob: type the callback */
export function apply<T>(items: Array<T>, f: (t: T) => T): T[] {
  return items.map(f); // map
}
const path: string = "C:\\dir\\"; // escaped backslashes
const msg = `${items.length} items // not a comment
${ items.filter(i => i /* keep */ !== null).length }`; // DONE: counts
let r = /ab+c/i.test(msg) ? 1 : 2; // regex at an operand position
